#include "config/ClientPaths.h"

namespace {

ClientPaths g_paths;

}  // namespace

const ClientPaths& GetClientPaths() {
    return g_paths;
}

void SetClientPaths(const ClientPaths& paths) {
    g_paths = paths;
}
