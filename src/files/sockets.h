#pragma once
// IPv4 sockets that never block: a TCP socket whose state advances only when asked (GetStatus,
// ReadData, http_WriteData), and a datagram socket. Addresses are in network byte order as
// inet_addr and the resolver give them; ports are in host byte order.

#include <netinet/in.h>

#include <vector>

// Prints nothing; a stand-in for printf where diagnostics are switched off.
int printf_null(const char* format, ...);

class PCSBSocket {
public:
    enum { status_idle = 1, status_connecting = 2, status_connected = 3, status_closed = 4, status_error = 5 };

    struct ConnectionData {
        unsigned int localAddr = 0;     // host byte order
        unsigned short localPort = 0;
        unsigned int remoteAddr = 0;    // network byte order
        unsigned short remotePort = 0;
    };

    PCSBSocket(unsigned short port, bool listen);
    explicit PCSBSocket(int descriptor);   // wraps an accepted connection
    virtual ~PCSBSocket();
    PCSBSocket(const PCSBSocket&) = delete;
    PCSBSocket& operator=(const PCSBSocket&) = delete;

    static bool StartupNetworking(bool);
    static void ShutdownNetworking(bool);

    int GetStatus();
    int GetOSError() const { return mOSError; }
    bool ReceivedRelease() const { return mGotRelease; }

    // Count read, 0 when nothing waits (or the peer closed its side), -1 when the connection is over.
    long ReadData(void* buffer, long size);
    // Count sent, 0 when the socket cannot take data now, -1 on failure.
    long http_WriteData(const void* data, long length);

    void Disconnect();
    void Release();

    // Waits at most ms milliseconds for one of the sockets to have something to read, a close, or
    // (while connecting) the connection; false when the time ran out or no socket was given.
    static bool WaitAnyReady(const std::vector<PCSBSocket*>& sockets, int ms);

    // A kept-alive connection may carry another request only when this holds: connected, no
    // unread byte waiting and the peer not gone. Reads nothing; a close it sees sets ReceivedRelease.
    bool IsIdleAndOpen();

    // 0 when the name does not resolve. Blocks for as long as the resolver takes.
    static unsigned long LookupAddress(const char* host);

    void Connect(unsigned long address, unsigned short port);
    void GetAddresses(ConnectionData* out);
    PCSBSocket* Accept();

    int descriptor_for_test() const { return mSocket; }

private:
    void fail(int os_error);
    void fail_setup(int os_error);

    int mSocket = -1;
    int mStatus = status_idle;
    int mOSError = 0;
    bool mGotRelease = false;
    bool mDidRelease = false;
    bool mListening = false;
};

extern int _udp_buffer_size_snd;
extern int _udp_buffer_size_rcv;

class PCSBSocketUDP {
public:
    PCSBSocketUDP();
    virtual ~PCSBSocketUDP();
    PCSBSocketUDP(const PCSBSocketUDP&) = delete;
    PCSBSocketUDP& operator=(const PCSBSocketUDP&) = delete;

    void Cleanup();
    // mode 2 asks for non-blocking reads. 1 on success, 0 on failure.
    int udp_init(unsigned short port, int mode);
    // Address and port in host byte order.
    long udp_WriteData(void* data, long length, unsigned long address, unsigned short port);
    long ReadData(void* buffer, long size, unsigned long* from_address, unsigned short* from_port);
    void size_buffer();

    int descriptor() const { return mWinSocket; }

private:
    int mWinSocket = -1;
    sockaddr_in mLocalAddr{};   // any local address on the port given to udp_init
};
