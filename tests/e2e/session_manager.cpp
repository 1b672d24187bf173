// A minimal X session manager (XSMP over ICE) for the end-to-end tests: it takes one client,
// and on the command "logout" read from standard input asks it to save for a shutdown, waits
// until it has saved, then tells it to die. It prints, one line each: the value for
// SESSION_MANAGER, "registered" when the client has registered, "saved" when its save is done,
// "closed" when the client's connection has ended.
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

SmsConn client = nullptr;
bool closed = false;
bool saveDone = false;

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

Status registerClient(SmsConn conn, SmPointer, char* previousId) {
    std::free(previousId);
    char* id = SmsGenerateClientID(conn);
    std::string fallback = "1pikome-test-client";
    SmsRegisterClientReply(conn, id ? id : fallback.data());
    std::free(id);
    client = conn;
    say("registered");
    return 1;
}

void interactRequest(SmsConn conn, SmPointer, int) {
    SmsInteract(conn);
}
void interactDone(SmsConn, SmPointer, Bool) {}
void saveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}
void saveYourselfPhase2Request(SmsConn conn, SmPointer) {
    SmsSaveYourselfPhase2(conn);
}
void saveYourselfDone(SmsConn, SmPointer, Bool success) {
    say(success ? "saved" : "save failed");
    saveDone = true;
}
void closeConnection(SmsConn conn, SmPointer, int count, char** reasons) {
    SmFreeReasons(count, reasons);
    IceConn ice = SmsGetIceConnection(conn);
    SmsCleanUp(conn);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    closed = true;
    say("closed");
}
void setProperties(SmsConn, SmPointer, int count, SmProp** props) {
    for (int i = 0; i < count; ++i)
        SmFreeProperty(props[i]);
    std::free(props);
}
void deleteProperties(SmsConn, SmPointer, int count, char** names) {
    for (int i = 0; i < count; ++i)
        std::free(names[i]);
    std::free(names);
}
void getProperties(SmsConn conn, SmPointer) {
    SmsReturnProperties(conn, 0, nullptr);
}

Status newClient(SmsConn, SmPointer, unsigned long* mask, SmsCallbacks* callbacks, char**) {
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask |
            SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask |
            SmsGetPropertiesProcMask;
    callbacks->register_client.callback = registerClient;
    callbacks->interact_request.callback = interactRequest;
    callbacks->interact_done.callback = interactDone;
    callbacks->save_yourself_request.callback = saveYourselfRequest;
    callbacks->save_yourself_phase2_request.callback = saveYourselfPhase2Request;
    callbacks->save_yourself_done.callback = saveYourselfDone;
    callbacks->close_connection.callback = closeConnection;
    callbacks->set_properties.callback = setProperties;
    callbacks->delete_properties.callback = deleteProperties;
    callbacks->get_properties.callback = getProperties;
    return 1;
}

// Every local client may connect: the test's own processes are the only ones that know where.
Bool anyHost(char*) {
    return True;
}

} // namespace

int main() {
    char error[256] = "";
    if (!SmsInitialize("pikome-test", "1.0", newClient, nullptr, anyHost, sizeof error, error)) {
        std::fprintf(stderr, "SmsInitialize: %s\n", error);
        return 1;
    }
    int listenCount = 0;
    IceListenObj* listeners = nullptr;
    if (!IceListenForConnections(&listenCount, &listeners, sizeof error, error)) {
        std::fprintf(stderr, "IceListenForConnections: %s\n", error);
        return 1;
    }
    for (int i = 0; i < listenCount; ++i)
        IceSetHostBasedAuthProc(listeners[i], anyHost);
    char* ids = IceComposeNetworkIdList(listenCount, listeners);
    say(ids);
    std::free(ids);

    std::vector<IceConn> connections;
    std::string input;
    bool logoutAsked = false, dieSent = false;
    while (!closed) {
        std::vector<pollfd> fds;
        fds.push_back({STDIN_FILENO, POLLIN, 0});
        for (int i = 0; i < listenCount; ++i)
            fds.push_back({IceGetListenConnectionNumber(listeners[i]), POLLIN, 0});
        for (IceConn c : connections)
            fds.push_back({IceConnectionNumber(c), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0)
            return 1;
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            char buffer[64];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0)
                return 0;
            input.append(buffer, std::size_t(n));
            if (input.find("logout\n") != std::string::npos && client && !logoutAsked) {
                logoutAsked = true;
                SmsSaveYourself(client, SmSaveLocal, True, SmInteractStyleNone, False);
            }
        }
        for (int i = 0; i < listenCount; ++i) {
            if (fds[std::size_t(1 + i)].revents & POLLIN) {
                IceAcceptStatus status;
                if (IceConn c = IceAcceptConnection(listeners[i], &status))
                    connections.push_back(c);
            }
        }
        for (std::size_t k = 0; k < connections.size(); ++k) {
            if (!(fds[std::size_t(1 + listenCount) + k].revents & (POLLIN | POLLHUP)))
                continue;
            IceConn c = connections[k];
            if (IceProcessMessages(c, nullptr, nullptr) == IceProcessMessagesIOError) {
                if (!closed)
                    say("closed");
                return 0;
            }
        }
        // Once every client (the one) has saved, the order to end.
        if (saveDone && !dieSent && !closed) {
            dieSent = true;
            SmsDie(client);
        }
    }
    return 0;
}
