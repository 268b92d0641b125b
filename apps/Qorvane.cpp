// The session service. Started by systemd it reports its state through
// sd_notify; started by hand it runs the same job in the console until
// Ctrl+C. "-install" and "-uninstall" manage its systemd unit.
#include "service/ServiceProgram.h"

int main(int argc, char** argv) {
    return RunServiceProgram(argc, argv);
}
