// A desktop session manager for tests, on libSM: it prints its address as
// "SESSION_MANAGER=<ids>", registers every client, and on SIGUSR1 asks each
// of them to save itself for a shutdown that allows interaction. It prints
// what the clients answer ("interact done #R cancel=N", "save yourself
// done #R success=N", R counting the requests), so a test sees whether the end of the session was cancelled.

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kErrorLength = 256;
int g_signalPipe[2] = {-1, -1};
std::vector<SmsConn> g_clients;
int g_round = 0;  // numbered requests, so a test can wait for the answer to each

void OnSignal(int) {
    char one = 1;
    ssize_t ignored = write(g_signalPipe[1], &one, 1);
    (void)ignored;
}

Bool AnyHost(char*) { return True; }

Status RegisterClient(SmsConn conn, SmPointer, char* previousId) {
    char* id = SmsGenerateClientID(conn);
    SmsRegisterClientReply(conn, id);
    std::free(id);
    std::free(previousId);
    g_clients.push_back(conn);
    std::printf("registered\n");
    return 1;
}

void InteractRequest(SmsConn conn, SmPointer, int) { SmsInteract(conn); }

void InteractDone(SmsConn conn, SmPointer, Bool cancelShutdown) {
    std::printf("interact done #%d cancel=%d\n", g_round, cancelShutdown ? 1 : 0);
    if (cancelShutdown) {
        SmsShutdownCancelled(conn);
    }
}

void SaveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}
void SaveYourselfPhase2Request(SmsConn conn, SmPointer) { SmsSaveYourselfPhase2(conn); }

void SaveYourselfDone(SmsConn, SmPointer, Bool success) {
    std::printf("save yourself done #%d success=%d\n", g_round, success ? 1 : 0);
}

void CloseConnection(SmsConn conn, SmPointer, int count, char** reasons) {
    SmFreeReasons(count, reasons);
    for (size_t i = 0; i < g_clients.size(); ++i) {
        if (g_clients[i] == conn) {
            g_clients.erase(g_clients.begin() + static_cast<long>(i));
            break;
        }
    }
    IceConn ice = SmsGetIceConnection(conn);
    SmsCleanUp(conn);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    std::printf("closed\n");
}

void SetProperties(SmsConn, SmPointer, int count, SmProp** properties) {
    for (int i = 0; i < count; ++i) {
        SmFreeProperty(properties[i]);
    }
    std::free(properties);
}

void DeleteProperties(SmsConn, SmPointer, int count, char** names) {
    for (int i = 0; i < count; ++i) {
        std::free(names[i]);
    }
    std::free(names);
}

void GetProperties(SmsConn conn, SmPointer) { SmsReturnProperties(conn, 0, nullptr); }

Status NewClient(SmsConn, SmPointer, unsigned long* mask, SmsCallbacks* callbacks, char**) {
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask |
            SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask |
            SmsDeletePropertiesProcMask | SmsGetPropertiesProcMask;
    callbacks->register_client.callback = RegisterClient;
    callbacks->interact_request.callback = InteractRequest;
    callbacks->interact_done.callback = InteractDone;
    callbacks->save_yourself_request.callback = SaveYourselfRequest;
    callbacks->save_yourself_phase2_request.callback = SaveYourselfPhase2Request;
    callbacks->save_yourself_done.callback = SaveYourselfDone;
    callbacks->close_connection.callback = CloseConnection;
    callbacks->set_properties.callback = SetProperties;
    callbacks->delete_properties.callback = DeleteProperties;
    callbacks->get_properties.callback = GetProperties;
    return 1;
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    char error[kErrorLength] = {};
    if (!SmsInitialize("qorvane-test", "1.0", NewClient, nullptr, AnyHost, kErrorLength, error)) {
        std::fprintf(stderr, "SmsInitialize: %s\n", error);
        return 1;
    }
    int count = 0;
    IceListenObj* listeners = nullptr;
    if (!IceListenForConnections(&count, &listeners, kErrorLength, error) || count == 0) {
        std::fprintf(stderr, "IceListenForConnections: %s\n", error);
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        IceSetHostBasedAuthProc(listeners[i], AnyHost);
    }
    if (pipe(g_signalPipe) != 0) {
        return 1;
    }
    signal(SIGUSR1, OnSignal);
    char* ids = IceComposeNetworkIdList(count, listeners);
    std::printf("SESSION_MANAGER=%s\n", ids);
    std::free(ids);

    std::vector<IceConn> connections;
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({g_signalPipe[0], POLLIN, 0});
        for (int i = 0; i < count; ++i) {
            fds.push_back({IceGetListenConnectionNumber(listeners[i]), POLLIN, 0});
        }
        for (IceConn conn : connections) {
            fds.push_back({IceConnectionNumber(conn), POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), -1) < 0) {
            continue;
        }
        if (fds[0].revents & POLLIN) {
            char byte;
            ssize_t ignored = read(g_signalPipe[0], &byte, 1);
            (void)ignored;
            ++g_round;
            for (SmsConn client : g_clients) {
                SmsSaveYourself(client, SmSaveBoth, True, SmInteractStyleAny, False);
            }
            std::printf("asked %zu clients\n", g_clients.size());
        }
        for (int i = 0; i < count; ++i) {
            if (fds[1 + i].revents & POLLIN) {
                IceAcceptStatus status;
                IceConn conn = IceAcceptConnection(listeners[i], &status);
                if (conn == nullptr) {
                    continue;
                }
                while (IceConnectionStatus(conn) == IceConnectPending) {
                    if (IceProcessMessages(conn, nullptr, nullptr) != IceProcessMessagesSuccess) {
                        break;
                    }
                }
                if (IceConnectionStatus(conn) == IceConnectAccepted) {
                    connections.push_back(conn);
                } else {
                    IceCloseConnection(conn);
                }
            }
        }
        std::vector<IceConn> alive;
        for (size_t i = 0; i < connections.size(); ++i) {
            const pollfd& fd = fds[1 + count + i];
            if (fd.revents & (POLLIN | POLLHUP | POLLERR)) {
                IceProcessMessagesStatus status =
                    IceProcessMessages(connections[i], nullptr, nullptr);
                if (status == IceProcessMessagesIOError) {
                    IceSetShutdownNegotiation(connections[i], False);
                    IceCloseConnection(connections[i]);
                    continue;
                }
                if (status == IceProcessMessagesConnectionClosed) {
                    continue;
                }
            }
            alive.push_back(connections[i]);
        }
        connections = alive;
    }
}
