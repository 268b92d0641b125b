// Stand-in for the Office program a container leaves behind: a process named
// "soffice.bin" that does nothing until it is ended.
#include <unistd.h>

int main() {
    for (;;) {
        pause();
    }
}
