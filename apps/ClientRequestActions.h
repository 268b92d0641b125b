#pragma once

// Installs who carries out each request the channel's methods make
// (channel/methods/ClientRequests.h): the windows on the GUI thread through
// the message hub, the answer store and the update check on the calling
// thread. Once at start-up, before the channel accepts connections.
void InstallClientRequestActions();
