// The byte link to the adapter (declared in adapterlink.h): one row of handlers per kind of link.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <new>
#include "boards/adapter/adapterlink.h"
#include "boards/adapter/adapterproto.h"

struct AdapterLinkKind {
    bool (*open)(const AdapterSettings&, uintptr_t&, std::string&);
    void (*close)(AdapterLink&);
    bool (*send)(uintptr_t, const std::string&);
    int (*receive)(AdapterLink&, std::string&, uint32_t);
    bool (*wait)(AdapterLink&, uint32_t);
    uint32_t (*pending)(AdapterLink&);
};

// ---- the call sites and their countdown ----------------------------------------------------

// TAVK_ADAPTER_LINK_FAULT: "n" fails the nth call of all, "S:k" the kth call of site S (its row):
// the latter stays the same call where polls in a wait vary in number from run to run.
struct LinkFaults {
    bool on = false;
    uint32_t calls = 0, failAt = 0;
    int failSite = -1;
    uint32_t siteCalls[LINK_SITE_COUNT] = {};
    std::string log;   // the file each call is appended to (opened per call: a test may remove it)
};
static LinkFaults faults;

void AdapterLinkFaultsFromEnvironment()
{
    if (faults.on) return;
    faults.on = true;
    char value[MAX_PATH];
    if (GetEnvironmentVariableA("TAVK_ADAPTER_LINK_FAULT", value, sizeof value) > 0) {
        char* rest = nullptr;
        faults.failAt = strtoul(value, &rest, 10);
        if (rest && *rest == ':') {
            faults.failSite = static_cast<int>(faults.failAt);
            faults.failAt = strtoul(rest + 1, nullptr, 10);
        }
    }
    if (GetEnvironmentVariableA("TAVK_ADAPTER_LINK_LOG", value, sizeof value) > 0) faults.log = value;
}

// Before each system call: true when the countdown makes this one fail (as a broken link would).
static bool Fails(LinkSite site)
{
    if (!faults.on) return false;
    faults.calls++;
    uint32_t nth = ++faults.siteCalls[site];
    FILE* log = faults.log.empty() ? nullptr : fopen(faults.log.c_str(), "ab");
    if (log) {
        fprintf(log, "%u %d %u %s\n", faults.calls, static_cast<int>(site), nth, linkSites[site].name);
        fclose(log);
    }
    if (faults.failAt == 0) return false;
    if ((faults.failSite < 0 ? faults.calls : faults.failSite == site ? nth : 0) != faults.failAt) return false;
    WSASetLastError(WSAECONNRESET);
    SetLastError(ERROR_GEN_FAILURE);
    return true;
}

enum {
    LINK_CHUNK = 4096,
    LINK_SEND_TIMEOUT_MS = 5000,
    // Probes on a link that is quiet this long, then this far apart: a device switched off and on
    // again knows nothing of the link and answers the first probe with a reset, which the next
    // look finds (without them a link nothing is sent over would seem open for ever).
    LINK_KEEPALIVE_IDLE_MS = 5000,
    LINK_KEEPALIVE_INTERVAL_MS = 1000,
};

// ---- TCP -----------------------------------------------------------------------------------

static bool TcpStarted()
{
    static bool started = false;
    WSADATA data;
    if (!started) started = !Fails(LINK_SITE_STARTUP) && WSAStartup(MAKEWORD(2, 2), &data) == 0;
    return started;
}

static std::string SocketError(const char* what)
{
    return std::string(what) + " failed (Winsock error " + std::to_string(WSAGetLastError()) + ")";
}

// Waits until the socket can be read (or written): 1 ready, 0 not within ms, -1 failed.
static int TcpWait(SOCKET s, uint32_t ms, bool write)
{
    fd_set set, failed;
    FD_ZERO(&set);
    FD_SET(s, &set);
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    timeval tv = {static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    if (Fails(LINK_SITE_SELECT)) return -1;
    int n = select(0, write ? nullptr : &set, write ? &set : nullptr, &failed, &tv);
    if (n < 0 || FD_ISSET(s, &failed)) return -1;
    return n > 0 ? 1 : 0;
}

static bool TcpOpen(const AdapterSettings& settings, uintptr_t& handle, std::string& problem)
{
    if (!TcpStarted()) { problem = SocketError("WSAStartup"); return false; }
    addrinfo hints{}, *found = nullptr;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    if (Fails(LINK_SITE_RESOLVE) ||
        getaddrinfo(settings.host.c_str(), std::to_string(settings.port).c_str(), &hints, &found) != 0 || !found) {
        problem = "the host " + settings.host + " is not known";
        return false;
    }
    SOCKET s = Fails(LINK_SITE_SOCKET) ? INVALID_SOCKET : socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) { freeaddrinfo(found); problem = SocketError("socket"); return false; }
    u_long nonBlocking = 1;
    if (Fails(LINK_SITE_SOCKET_MODE) || ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        closesocket(s);
        freeaddrinfo(found);
        problem = SocketError("ioctlsocket");
        return false;
    }
    int r = Fails(LINK_SITE_CONNECT) ? SOCKET_ERROR : connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen));
    freeaddrinfo(found);
    bool ok = r == 0 || (WSAGetLastError() == WSAEWOULDBLOCK && TcpWait(s, settings.connectTimeoutMs, true) == 1);
    int error = 0, size = sizeof error;
    if (ok) ok = !Fails(LINK_SITE_SOCKET_ERROR) &&
                 getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0;
    if (!ok) {
        closesocket(s);
        problem = "no connection within " + std::to_string(settings.connectTimeoutMs) + " ms" +
                  (error ? " (Winsock error " + std::to_string(error) + ")" : "");
        return false;
    }
    // Blocking again, no delay for short lines, and a bounded send: without them the link could hang.
    nonBlocking = 0;
    BOOL noDelay = TRUE;
    DWORD sendTimeout = LINK_SEND_TIMEOUT_MS;
    if (Fails(LINK_SITE_SOCKET_MODE) || ioctlsocket(s, FIONBIO, &nonBlocking) != 0 || Fails(LINK_SITE_SOCKET_OPTION) ||
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay) != 0 ||
        Fails(LINK_SITE_SOCKET_OPTION) ||
        setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendTimeout), sizeof sendTimeout) != 0) {
        problem = SocketError("setting up the socket");
        closesocket(s);
        return false;
    }
    // The probes only find a dead link sooner: a system without them still has a working link.
    tcp_keepalive probes = {1, LINK_KEEPALIVE_IDLE_MS, LINK_KEEPALIVE_INTERVAL_MS};
    DWORD returned = 0;
    if (!Fails(LINK_SITE_KEEPALIVE))
        WSAIoctl(s, SIO_KEEPALIVE_VALS, &probes, sizeof probes, nullptr, 0, &returned, nullptr, nullptr);
    handle = static_cast<uintptr_t>(s);
    return true;
}

static bool TcpSend(uintptr_t handle, const std::string& bytes)
{
    size_t at = 0;
    while (at < bytes.size()) {
        int n = Fails(LINK_SITE_SEND) ? SOCKET_ERROR
                                      : send(static_cast<SOCKET>(handle), bytes.data() + at, static_cast<int>(bytes.size() - at), 0);
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

// A look (of at most waitMs) and a receive of what is there: for a receive that does not wait,
// and for one whose link has no event to wait on.
static int TcpTake(SOCKET s, std::string& into, uint32_t waitMs)
{
    int ready = TcpWait(s, waitMs, false);
    if (ready <= 0) return ready < 0 ? LINK_DROPPED : 0;
    char chunk[LINK_CHUNK];
    int n = Fails(LINK_SITE_RECV) ? SOCKET_ERROR : recv(s, chunk, sizeof chunk, 0);
    if (n <= 0) return LINK_DROPPED;   // closed by the adapter, or broken
    into.append(chunk, static_cast<size_t>(n));
    return n;
}

// The receive a TCP link keeps waiting between calls, made at its first receive: one overlapped
// receive into a buffer of its own, posted once and taken when it completed.
struct TcpPosted {
    WSAOVERLAPPED pending;
    char chunk[LINK_CHUNK];
    bool out;   // posted and not taken yet
};

// The link's receive, made at its first receive (null: none can be made).
static TcpPosted* TcpPostedOf(AdapterLink& link)
{
    if (!link.posted && !Fails(LINK_SITE_EVENT)) {
        TcpPosted* p = new (std::nothrow) TcpPosted{};
        HANDLE arrival = p ? CreateEventA(nullptr, TRUE, FALSE, nullptr) : nullptr;
        if (arrival) {
            p->pending.hEvent = arrival;
            link.posted = reinterpret_cast<uintptr_t>(p);
        } else {
            delete p;
        }
    }
    return reinterpret_cast<TcpPosted*>(link.posted);
}

// Posts the receive unless it is out: false when the link broke.
static bool TcpPost(SOCKET s, TcpPosted& p)
{
    if (p.out) return true;
    HANDLE arrival = p.pending.hEvent;
    p.pending = WSAOVERLAPPED{};
    p.pending.hEvent = arrival;
    WSABUF buffer = {sizeof p.chunk, p.chunk};   // taken by the call: only the bytes must last
    DWORD got = 0, flags = 0;
    if (Fails(LINK_SITE_RECV)) return false;
    if (WSARecv(s, &buffer, 1, &got, &flags, &p.pending, nullptr) != 0 && WSAGetLastError() != WSA_IO_PENDING) return false;
    p.out = true;   // done at once or later: its result is taken the same way
    return true;
}

// Whether the posted receive has ended, waiting at most ms for it (none when ms is 0: reading its
// result costs no call to the system, a wait does): 1 it has, 0 not yet, -1 the wait failed.
static int TcpEnded(SOCKET s, TcpPosted& p, uint32_t ms)
{
    DWORD got = 0, flags = 0;
    if (WSAGetOverlappedResult(s, &p.pending, &got, FALSE, &flags) || WSAGetLastError() != WSA_IO_INCOMPLETE)
        return 1;
    if (!ms) return 0;
    DWORD waited = Fails(LINK_SITE_RECV_WAIT) ? WAIT_FAILED : WaitForSingleObject(p.pending.hEvent, ms);
    return waited == WAIT_OBJECT_0 ? 1 : waited == WAIT_TIMEOUT ? 0 : -1;
}

constexpr int TCP_CANCELLED = -2;

// The posted receive's result, within waitMs: the count it took (the receive is taken then), 0
// while it is out, LINK_DROPPED when the link broke, TCP_CANCELLED when it was cancelled (the end
// of the thread that posted it cancels it): a cancelled receive took no bytes.
static int TcpTaken(SOCKET s, TcpPosted& p, std::string& into, uint32_t waitMs)
{
    const int ended = TcpEnded(s, p, waitMs);
    if (ended <= 0) return ended < 0 ? LINK_DROPPED : 0;   // a failed wait leaves it out: the close ends it
    DWORD got = 0, flags = 0;
    const bool done = WSAGetOverlappedResult(s, &p.pending, &got, TRUE, &flags);   // ended: no wait
    p.out = false;
    if (!done) return WSAGetLastError() == WSA_OPERATION_ABORTED ? TCP_CANCELLED : LINK_DROPPED;
    if (got == 0) return LINK_DROPPED;   // closed by the adapter
    into.append(p.chunk, got);
    return static_cast<int>(got);
}

// A receive stays posted from one call to the next, so that bytes or a close are seen by looking
// at its result, which costs no call to the system: the look before every write is that cheap.
// One that has not completed within waitMs stays out, so nothing is cancelled but at the close
// and nothing that came is lost; one cancelled meanwhile is posted again. Where no event can be
// made, a look and a receive.
static int TcpReceive(AdapterLink& link, std::string& into, uint32_t waitMs)
{
    SOCKET s = static_cast<SOCKET>(link.handle);
    TcpPosted* p = TcpPostedOf(link);
    if (!p) return TcpTake(s, into, waitMs);
    int n = TCP_CANCELLED;
    for (int posts = 0; n == TCP_CANCELLED && posts < 2; posts++)
        n = TcpPost(s, *p) ? TcpTaken(s, *p, into, waitMs) : LINK_DROPPED;
    return n == TCP_CANCELLED ? LINK_DROPPED : n;
}

// Waits at most ms for the posted receive (posting it) to complete: what it took stays for the
// next receive. A broken link or a cancelled receive ends the wait too: the receive tells which.
static bool TcpArrived(AdapterLink& link, uint32_t ms)
{
    SOCKET s = static_cast<SOCKET>(link.handle);
    TcpPosted* p = TcpPostedOf(link);
    if (!p) return TcpWait(s, ms, false) != 0;
    return !TcpPost(s, *p) || TcpEnded(s, *p, ms) != 0;
}

// The close of a TCP link ends its receive first: its buffer is free again only when it has. The
// receive may be another thread's, so it is cancelled by its own record, not by this thread's.
static void TcpClose(AdapterLink& link)
{
    SOCKET s = static_cast<SOCKET>(link.handle);
    if (TcpPosted* p = reinterpret_cast<TcpPosted*>(link.posted)) {
        DWORD got = 0, flags = 0;
        if (p->out) {
            CancelIoEx(reinterpret_cast<HANDLE>(s), &p->pending);
            WSAGetOverlappedResult(s, &p->pending, &got, TRUE, &flags);
        }
        CloseHandle(p->pending.hEvent);
        delete p;
        link.posted = 0;
    }
    closesocket(s);
}

// What the socket holds and what a completed receive took and was not handed out yet.
static uint32_t TcpPending(AdapterLink& link)
{
    u_long n = 0;
    DWORD got = 0, flags = 0;
    TcpPosted* p = reinterpret_cast<TcpPosted*>(link.posted);
    if (p && p->out && !WSAGetOverlappedResult(static_cast<SOCKET>(link.handle), &p->pending, &got, FALSE, &flags)) got = 0;
    if (Fails(LINK_SITE_FIONREAD)) return got;
    return got + (ioctlsocket(static_cast<SOCKET>(link.handle), FIONREAD, &n) == 0 ? static_cast<uint32_t>(n) : 0);
}

// ---- serial --------------------------------------------------------------------------------

static bool SerialOpen(const AdapterSettings& settings, uintptr_t& handle, std::string& problem)
{
    std::string path = "\\\\.\\" + settings.serialPort;
    HANDLE h = Fails(LINK_SITE_PORT_OPEN) ? INVALID_HANDLE_VALUE
                                          : CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        problem = "the serial port cannot be opened (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (Fails(LINK_SITE_PORT_STATE) || !GetCommState(h, &dcb)) {
        problem = "the serial port's settings cannot be read (error " + std::to_string(GetLastError()) + ")";
        CloseHandle(h);
        return false;
    }
    dcb.BaudRate = ADAPTER_SERIAL_BAUD;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = dcb.fInX = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fAbortOnError = FALSE;
    if (Fails(LINK_SITE_PORT_SETUP) || !SetCommState(h, &dcb)) {
        problem = "the serial port does not take 115200 8N1 (error " + std::to_string(GetLastError()) + ")";
        CloseHandle(h);
        return false;
    }
    if (Fails(LINK_SITE_PORT_PURGE) || !PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR)) {
        problem = "the serial port cannot be cleared (error " + std::to_string(GetLastError()) + ")";
        CloseHandle(h);
        return false;
    }
    handle = reinterpret_cast<uintptr_t>(h);
    return true;
}

static void SerialClose(AdapterLink& link) { CloseHandle(reinterpret_cast<HANDLE>(link.handle)); }

static bool SerialSend(uintptr_t handle, const std::string& bytes)
{
    COMMTIMEOUTS t{};
    t.WriteTotalTimeoutConstant = LINK_SEND_TIMEOUT_MS;
    HANDLE h = reinterpret_cast<HANDLE>(handle);
    if (Fails(LINK_SITE_PORT_TIMEOUTS) || !SetCommTimeouts(h, &t)) return false;
    DWORD written = 0;
    return !Fails(LINK_SITE_PORT_WRITE) && WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The bytes waiting in the port; false when the port cannot tell (it is gone).
static bool SerialStatus(uintptr_t handle, uint32_t& waiting)
{
    DWORD errors = 0;
    COMSTAT status{};
    if (Fails(LINK_SITE_PORT_STATUS) || !ClearCommError(reinterpret_cast<HANDLE>(handle), &errors, &status)) return false;
    waiting = status.cbInQue;
    return true;
}

static uint32_t SerialPending(AdapterLink& link)
{
    uint32_t n = 0;
    return SerialStatus(link.handle, n) ? n : 0;
}

// Waits at most ms, in steps of a millisecond, until a byte is there.
static bool SerialArrived(AdapterLink& link, uint32_t ms)
{
    for (uint32_t waited = 0; waited < ms; waited++) {
        if (SerialPending(link)) return true;
        Sleep(1);
    }
    return SerialPending(link) != 0;
}

// Waits (in steps of a millisecond) until a byte is there, then takes what is there without
// waiting: the port's own "return at the first byte" time-outs are not kept by every system.
static int SerialReceive(AdapterLink& link, std::string& into, uint32_t waitMs)
{
    const uintptr_t handle = link.handle;
    HANDLE h = reinterpret_cast<HANDLE>(handle);
    DWORD start = GetTickCount();
    uint32_t ready = 0;
    if (!SerialStatus(handle, ready)) return LINK_DROPPED;
    while (!ready && GetTickCount() - start < waitMs) {
        Sleep(1);
        if (!SerialStatus(handle, ready)) return LINK_DROPPED;
    }
    if (!ready) return 0;
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;   // with no totals: return at once with what is there
    if (Fails(LINK_SITE_PORT_TIMEOUTS) || !SetCommTimeouts(h, &t)) return LINK_DROPPED;
    char chunk[LINK_CHUNK];
    DWORD n = 0;
    if (Fails(LINK_SITE_PORT_READ) || !ReadFile(h, chunk, sizeof chunk, &n, nullptr)) return LINK_DROPPED;
    into.append(chunk, n);
    return static_cast<int>(n);
}

static const AdapterLinkKind tcpLink = {TcpOpen, TcpClose, TcpSend, TcpReceive, TcpArrived, TcpPending};
static const AdapterLinkKind serialLink = {SerialOpen, SerialClose, SerialSend, SerialReceive, SerialArrived, SerialPending};

// ---- the link ------------------------------------------------------------------------------

bool AdapterLink::Open(const AdapterSettings& settings, std::string& problem)
{
    Close();
    const AdapterLinkKind* k = settings.serial ? &serialLink : &tcpLink;
    if (!k->open(settings, handle, problem)) return false;
    kind = k;
    return true;
}

void AdapterLink::Close()
{
    if (kind) kind->close(*this);
    kind = nullptr;
    handle = 0;
}

bool AdapterLink::Send(const std::string& bytes)
{
    return kind && kind->send(handle, bytes);
}

int AdapterLink::Receive(std::string& into, uint32_t waitMs)
{
    return kind ? kind->receive(*this, into, waitMs) : LINK_DROPPED;
}

uint32_t AdapterLink::Pending()
{
    return kind ? kind->pending(*this) : 0;
}

bool AdapterLink::Wait(uint32_t ms)
{
    return kind && kind->wait(*this, ms);
}

void AdapterLink::Adopt(uintptr_t socket)
{
    Close();
    BOOL noDelay = TRUE;
    setsockopt(static_cast<SOCKET>(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    kind = &tcpLink;
    handle = socket;
}
