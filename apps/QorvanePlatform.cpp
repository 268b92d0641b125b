// QorvanePlatform: the desktop client.

#include "apps/ClientApp.h"

int main(int argc, char** argv) {
    return RunClient(argc, argv);
}
