#pragma once

#include <string>
#include <vector>

// Installs the handler of every method of the channel, each a function named
// after its method (channel/methods/*Methods.h). Returns what went wrong: a
// name of this table the router does not know, and a route of the router
// left without a handler; empty when every route has its handler. Call it
// once at start-up, before the channel accepts connections.
std::vector<std::string> RegisterChannelMethods();
