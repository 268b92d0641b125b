#pragma once

// Client initialisation, once per process: 0, -1 no string table, -2 no
// writable data folder, -4 the channel's pool did not start. Later calls
// return 0 without doing anything. The channel's methods must be registered
// before (RegisterChannelMethods): the channel accepts connections from here on.
int InitClient();
