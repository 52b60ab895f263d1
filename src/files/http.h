#pragma once
// The HTTP/1.1 client: GET downloads into local files on numbered streams, each advanced by one
// net_check call per frame on the main thread, directly or through a proxy.
#include <stdint.h>
#include <stdio.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "files/repeat_log.h"

class PCSBSocket;
class THREAD_call;

// Header field names compare without regard to ASCII letter case.
struct http_name_less {
    bool operator()(const std::string& a, const std::string& b) const;
};

// Longest response head accepted; a longer one fails the transfer. Chunk trailers share the limit.
constexpr size_t http_max_head_bytes = 64 * 1024;
// Longest chunk-size line (with its extensions) accepted in a chunked body.
constexpr size_t http_max_chunk_line = 4096;

class down_class {
public:
    down_class(unsigned long address, unsigned short port);
    ~down_class();
    down_class(const down_class&) = delete;
    down_class& operator=(const down_class&) = delete;

    // Whether this connection may carry the next request to the address and port.
    bool ConnectedTo(unsigned long address, unsigned short port);
    void MakeRequest(const char* path, bool post, const std::map<std::string, std::string>& request_headers,
                     const char* body, int body_length, const char* local_path);
    void DoProcessing();

    // A chunked body has no length until its last chunk: content_length is -1 until then.
    bool IsComplete() const { return content_length == bytes_done; }
    // These ask the socket for its status, which moves a connecting socket along.
    bool IsErr();
    int GetStat();
    bool IsDone() { return GetStat() == 3; }
    int GetOSErr() const;

    unsigned long addr = 0;
    unsigned short port = 0;
    PCSBSocket* sock = nullptr;
    std::vector<char> send_buf;
    std::vector<char> recv_buf;
    bool headers_done = false;
    int status = 0;
    std::string reason;
    std::map<std::string, std::string, http_name_less> headers;
    int file = -1;   // the local file while the body is written to it
    std::string file_path;
    int err = 0;
    int64_t content_length = -1;
    int64_t bytes_done = 0;
    float last_activity = 0;
    // errno of a failure to create, write or close the local file; such a failure also sets err.
    int local_err = 0;

    // What net_check asked this record for, so a different request is never answered by it.
    std::string asked_server, asked_path, asked_file;

private:
    enum class chunk_state { size_line, data, data_end, trailer, done };

    void parse_head();
    void end_of_head();
    void store_body();
    void store_chunked_body();
    bool write_body(const char* data, size_t size);
    void close_file(bool checked);
    void local_failure(int error);
    void settle_file_path();

    bool path_settled_ = true;   // file_path has been completed and letter-case corrected
    size_t head_bytes_ = 0;   // bytes of the response head consumed so far
    std::string transfer_encoding_;   // every Transfer-Encoding field of the head, joined by ", "
    bool chunked_ = false;
    chunk_state chunk_ = chunk_state::size_line;
    int64_t chunk_left_ = 0;
    size_t trailer_bytes_ = 0;
    // Both a chunked coding and a Content-Length came: the framing is in doubt, so the connection
    // is not used again.
    bool framing_in_doubt_ = false;
};

class http_class {
public:
    struct dns_lookup_t {
        std::string name;
        unsigned long addr = 0;
    };

    http_class() = default;
    ~http_class();
    http_class(const http_class&) = delete;
    http_class& operator=(const http_class&) = delete;

    // 0 in progress, 1 the local file is complete, 2 failed.
    int net_check(int stream, std::string server, std::string path, const std::string& local_file);
    void make_stream_if_needed(int stream);
    // Ends the stream's transfer: its connection is dropped (a half-read response can never answer
    // a later request) and its local file closed, so nothing more is written to it. A host lookup
    // in flight cannot be cancelled: its answer still reaches the cache. The next net_check on the
    // stream starts afresh.
    void stop_stream(int stream);
    // Waits at most ms milliseconds for the stream's connection to have something for the next
    // net_check (an answer, a close, the connection itself). True when something came, false
    // when the time ran out or the stream has no connection to wait on.
    bool wait_for_answer(int stream, int ms);
    // Waits at most ms milliseconds for any of the streams' connections to have something for
    // net_check; false when the time ran out or none of them has a connection to wait on.
    bool wait_for_any(const std::vector<int>& stream_list, int ms);
    // Body and head bytes read on every stream so far: a caller sees whether a round of polls
    // moved anything.
    static uint64_t bytes_read();
    // An errno value when the stream's last transfer failed because its local file could not be
    // created or written (a full disk, no permission); 0 otherwise.
    int local_error(int stream) const;
    // True when the stream's last transfer failed because its server's name could not be looked up.
    bool lookup_failed(int stream) const;
    static void* async_dns_lookup(void* lookup);
    // What async_dns_lookup calls; tests replace it to make a lookup fail and then succeed.
    static unsigned long (*lookup_address)(const char* host);
    std::string ProxyHost(const char* host) const;
    unsigned short ProxyPort(unsigned short port) const;

    // Forgets every stream, lookup and cached address (tests start each case from nothing).
    void reset_for_test();

    std::string proxy_host;
    std::string proxy_port;
    int proxy_port_int = 0;
    std::vector<down_class*> streams;
    std::vector<THREAD_call*> dns_jobs;
    // A deque: a lookup running elsewhere keeps a pointer to its entry while streams are added.
    std::deque<dns_lookup_t> dns_lookups;
    std::map<std::string, unsigned long> dns_cache;
    // Frame-clock time of each failed lookup: the name is looked up again once it is old enough.
    std::map<std::string, float> dns_failed_at;
    // Per stream: errno of the last transfer's local failure, and the stream's failure log.
    std::vector<int> local_errors;
    std::vector<char> lookup_failures;
    std::vector<repeat_log> failure_logs;
};

// Seconds a failed host lookup is believed before the name is looked up again.
constexpr float http_lookup_retry_seconds = 5.0f;

extern http_class http;
extern int _ot_inited;
