// The driver's interrupt-channel server (declared in lanintr.h).
#include <winsock2.h>
#include <windows.h>
#include "boards/lan/lanintr.h"

enum { LAN_INTR_BACKLOG = 8, LAN_INTR_CHUNK = 4096 };

static std::string SocketProblem(const char* step)
{
    return std::string(step) + " failed (Winsock error " + std::to_string(WSAGetLastError()) + ")";
}

// True when s can be read (or accepted from) now.
static bool Ready(SOCKET s)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval now = {0, 0};
    return select(0, &set, nullptr, nullptr, &now) > 0;
}

bool LanInterruptServer::Start(std::string& problem)
{
    Stop();
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) { problem = "WSAStartup failed"; return false; }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_ANY);   // instruments call back on the address they were reached at
    int size = sizeof at;
    const char* step = s == INVALID_SOCKET ? "socket" : bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ? "bind"
                       : listen(s, LAN_INTR_BACKLOG) != 0 ? "listen"
                       : getsockname(s, reinterpret_cast<sockaddr*>(&at), &size) != 0 ? "getsockname" : nullptr;
    if (step) {
        problem = SocketProblem(step);
        if (s != INVALID_SOCKET) closesocket(s);
        WSACleanup();
        return false;
    }
    listener = static_cast<uintptr_t>(s);
    port = ntohs(at.sin_port);
    open = true;
    return true;
}

void LanInterruptServer::Stop()
{
    if (!open) return;
    for (Caller& c : callers) closesocket(static_cast<SOCKET>(c.socket));
    callers.clear();
    closesocket(static_cast<SOCKET>(listener));
    open = false;
    port = 0;
    WSACleanup();
}

void LanInterruptServer::Take(std::vector<std::string>& handles)
{
    if (!open) return;
    while (Ready(static_cast<SOCKET>(listener))) {
        SOCKET s = accept(static_cast<SOCKET>(listener), nullptr, nullptr);
        if (s == INVALID_SOCKET) break;
        callers.push_back({static_cast<uintptr_t>(s), std::string()});
    }
    std::vector<Caller> kept;
    for (Caller& c : callers) {
        SOCKET s = static_cast<SOCKET>(c.socket);
        bool alive = true;
        while (alive && Ready(s)) {
            char chunk[LAN_INTR_CHUNK];
            int n = recv(s, chunk, sizeof chunk, 0);
            if (n <= 0) alive = false;
            else c.inbox.append(chunk, static_cast<size_t>(n));
        }
        // Calls complete before the instrument closed its end still count.
        if (!LanTakeServiceRequests(c.inbox, handles)) alive = false;
        if (alive) kept.push_back(c);
        else closesocket(s);
    }
    callers.swap(kept);
}

bool LanLocalAddress(uintptr_t socket, uint32_t& address)
{
    sockaddr_in at{};
    int size = sizeof at;
    if (getsockname(static_cast<SOCKET>(socket), reinterpret_cast<sockaddr*>(&at), &size) != 0 || at.sin_family != AF_INET) return false;
    address = ntohl(at.sin_addr.s_addr);
    return true;
}
