// QorvanePlatform: the desktop client.

#include "shell/ClientApp.h"

int main(int argc, char** argv) {
    return RunClient(argc, argv);
}
