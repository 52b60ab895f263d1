// Whole installs against hostile mirrors, killed runs, a Back during a download and full disks:
// what the engine reports installed must be exactly the release, and a run that was cut off must
// be finished by the next one.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/frame_clock.h"
#include "files/http.h"
#include "files/staging.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/scheduler.h"
#include "install/server_list.h"
#include "support/engine_run.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

// The URLs each access-log line of a host asked for, in order.
std::vector<std::string> requests_of(const std::string& log, const std::string& host) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        if (end == std::string::npos) end = log.size();
        const std::string line = log.substr(at, end - at);
        at = end + 1;
        const size_t get = line.find("\"GET ");
        const size_t proto = line.rfind(" HTTP/1.");
        if (get == std::string::npos || proto == std::string::npos || proto < get) continue;
        const std::string url = line.substr(get + 5, proto - get - 5);
        if (url.find("://" + host + "/") != std::string::npos) out.push_back(url);
    }
    return out;
}

int count_of(const std::vector<std::string>& urls, const std::string& part) {
    int n = 0;
    for (const auto& u : urls) n += u.find(part) != std::string::npos;
    return n;
}

bool has_duplicates(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return std::adjacent_find(v.begin(), v.end()) != v.end();
}

// A small tmpfs for a full disk, unmounted again however the test ends.
class small_disk {
public:
    small_disk(const std::string& at, const char* size) : at_(at) {
        fs::create_directories(at);
        mounted_ = ::geteuid() == 0 && ::mount("tmpfs", at.c_str(), "tmpfs", 0, size) == 0;
    }
    ~small_disk() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    small_disk(const small_disk&) = delete;
    small_disk& operator=(const small_disk&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::string at_;
    bool mounted_ = false;
};

void stop_when_big_file_is_staged(const std::string& leaf) {
    if (leaf == "big.bin") ::raise(SIGSTOP);
}

TEST_F(EngineRun, HostileMirrorsGiveWayToGoodCopies) {
    nginx_mirrors nginx({{"stale.test"}, {"cut.test"}, {"extra.test"}, {"good.test"}, {VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    const install_set set = make_set(30, 7);
    publish(nginx, {"stale.test", "cut.test", "extra.test", "good.test"}, set);
    write_faulty_copies(nginx.root("stale.test"), set, copy_fault::wrong_bytes);
    write_faulty_copies(nginx.root("cut.test"), set, copy_fault::truncated);
    write_faulty_copies(nginx.root("extra.test"), set, copy_fault::extra_entries);

    Frames frames;
    get_manifest(frames);
    ASSERT_EQ(stg.stage, 3);
    scan(frames);
    ASSERT_EQ(install(frames, true), 1);
    EXPECT_EQ(stg.error_flag, 0);
    EXPECT_EQ(installed_tree(), without_windows(expected_tree(set))) << "every MD5 matches, nothing planted";
    EXPECT_FALSE(fs::exists(t / "planted above.txt"));
    EXPECT_EQ(staging_files(), std::vector<std::string>{});
    EXPECT_NE(log_text().find("is not the file this release lists"), std::string::npos);

    nginx.stop();
    const std::string log = nginx.access_log();
    for (const char* bad : {"stale.test", "cut.test"}) {
        const auto asked = requests_of(log, bad);
        EXPECT_FALSE(asked.empty()) << bad;
        EXPECT_FALSE(has_duplicates(asked)) << bad << " was asked again for a file it had served wrong";
    }
    EXPECT_FALSE(requests_of(log, "good.test").empty());
}

// The head nginx gives for one GET of path on host, asked as a proxy would be.
std::string response_head(const nginx_mirrors& nginx, const std::string& host, const std::string& path) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(nginx.port());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string head;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        const std::string req = "GET http://" + host + path + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
        if (::write(fd, req.data(), req.size()) == static_cast<ssize_t>(req.size())) {
            char buf[4096];
            ssize_t n;
            while (head.find("\r\n\r\n") == std::string::npos && (n = ::read(fd, buf, sizeof buf)) > 0)
                head.append(buf, static_cast<size_t>(n));
        }
    }
    if (fd >= 0) ::close(fd);
    return head.substr(0, head.find("\r\n\r\n"));
}

TEST_F(EngineRun, AMirrorThatSendsChunkedBodiesInstallsEveryFile) {
    nginx_mirrors nginx({{"chunky.test", mirror::mode::chunked}, {VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    const install_set set = make_set(20, 11);
    publish(nginx, {"chunky.test"}, set);
    write_file(nginx.root("chunky.test") + "probe.bin", random_bytes(5000, 3));
    const std::string head = response_head(nginx, "chunky.test", "/probe.bin");
    ASSERT_NE(head.find("Transfer-Encoding: chunked"), std::string::npos) << head;
    ASSERT_EQ(head.find("Content-Length"), std::string::npos) << head;

    Frames frames;
    get_manifest(frames);
    ASSERT_EQ(stg.stage, 3);
    scan(frames);
    ASSERT_EQ(install(frames, true), 1);
    EXPECT_EQ(stg.error_flag, 0);
    EXPECT_EQ(installed_tree(), without_windows(expected_tree(set))) << "every MD5 matches";
    EXPECT_EQ(staging_files(), std::vector<std::string>{});
}

TEST_F(EngineRun, NoMirrorWithTheRightBytesEndsWithAnErrorNamingTheFile) {
    nginx_mirrors nginx({{"m1.test"}, {"m2.test"}, {"m3.test"}, {VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    install_set set = make_set(12, 8);
    set.files.insert(set.files.begin() + 3, file("All/Resources/broken.dat", random_bytes(5000, 1)));
    publish(nginx, {"m1.test", "m2.test", "m3.test"}, set);
    write_faulty_copies(nginx.root("m1.test"), set, copy_fault::wrong_bytes, {"All/Resources/broken.dat"});
    write_faulty_copies(nginx.root("m2.test"), set, copy_fault::truncated, {"All/Resources/broken.dat"});
    write_faulty_copies(nginx.root("m3.test"), set, copy_fault::wrong_bytes, {"All/Resources/broken.dat"});

    Frames frames;
    get_manifest(frames);
    ASSERT_EQ(stg.stage, 3);
    scan(frames);
    EXPECT_NE(install(frames, true), 0);
    EXPECT_EQ(stg.error_flag, 1);
    const std::string local = dest_dir_path + "Resources/broken.dat";
    EXPECT_NE(log_text().find("The installer could not get a correct copy of a file from any server.\nFile: " + local + "\n"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(local));
    EXPECT_EQ(staging_files(), std::vector<std::string>{});

    nginx.stop();
    const std::string log = nginx.access_log();
    for (const char* m : {"m1.test", "m2.test", "m3.test"})
        EXPECT_EQ(count_of(requests_of(log, m), "broken.dat"), 1) << m;
}

// A copy whose CRC is wrong on every mirror ends the install with a sentence, not the zip
// library's number.
TEST_F(EngineRun, ACopyDamagedOnEveryMirrorIsExplainedInWords) {
    nginx_mirrors nginx({{"m1.test"}, {"m2.test"}, {VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    install_set set = make_set(4, 21);
    set.files.insert(set.files.begin() + 1, file("All/Resources/damaged.dat", random_bytes(3000, 4)));
    publish(nginx, {"m1.test", "m2.test"}, set);
    for (const char* m : {"m1.test", "m2.test"})
        write_faulty_copies(nginx.root(m), set, copy_fault::bad_crc, {"All/Resources/damaged.dat"});

    Frames frames;
    EXPECT_GT(fetch_and_install(frames), 0);
    EXPECT_EQ(stg.error_flag, 1);
    const std::string log = log_text();
    EXPECT_NE(log.find("File: " + dest_dir_path + "Resources/damaged.dat\nError: The downloaded zip file is damaged "
                       "(a file in it fails its CRC check)\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Error code"), std::string::npos) << log;
}

// Two links, each harmless in its own archive: "atool" leads through folders named d, and another
// archive makes d a link to its own folder, so that atool leads out of the copy. The archives are
// fetched side by side, so either d lands first and atool is refused as it is extracted, or atool
// lands first and is removed when the whole tree is judged again; either way it is gone and the
// install fails.
TEST_F(EngineRun, ALinkThatLeadsOutOnceTheWholeTreeIsInPlaceIsRemoved) {
    nginx_mirrors nginx({{"m1.test"}, {VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    install_set set;
    set.name = set_name;
    set.files = {file("All/Resources/atool", "d/d/d/d/d/../../../../secret"),
                 file("All/Resources/between.bin", random_bytes(200000, 9)), file("All/Resources/d", ".")};
    publish(nginx, {"m1.test"}, set);
    for (const auto& f : {set.files[0], set.files[2]})
        write_zip(nginx.root("m1.test") + set_name + "/" + f.path + ".zip",
                  {{f.path.substr(f.path.rfind('/') + 1), f.bytes}}, 0120777);
    write_file(t / "secret", "outside the copy");

    Frames frames;
    EXPECT_GT(fetch_and_install(frames), 0);
    EXPECT_EQ(stg.error_flag, 1);
    struct stat st;
    EXPECT_NE(::lstat((dest_dir_path + "Resources/atool").c_str(), &st), 0) << "the link leading out is still there";
    EXPECT_EQ(::lstat((dest_dir_path + "Resources/d").c_str(), &st), 0);
    EXPECT_EQ(sim_info[0].current().match, 0);
    const std::string log = log_text();
    const bool removed = log.find("Removed the link " + dest_dir_path + "Resources/atool") != std::string::npos;
    const bool refused = log.find("Zip to symlink failed") != std::string::npos;
    EXPECT_TRUE(removed || refused) << log;
}

// A run killed with SIGKILL in the middle of a download, or of an extraction over an older copy,
// is finished by the next run: the tree is the release's, no staging file is left, and the copy
// is registered once.
TEST_F(EngineRun, AKilledRunIsFinishedByTheNextOne) {
    for (const bool during_extraction : {false, true}) {
        SCOPED_TRACE(during_extraction ? "killed while extracting" : "killed while downloading");
        fs::remove_all(dest_dir_path);
        fs::remove(t / "config/ventaro_install.txt");
        nginx_mirrors nginx({{"slow.test", mirror::mode::serve, 200000}, {"fast.test"}, {VENTARO_SERVER_HOST}});
        use_mirrors(nginx);
        install_set set = make_set(9, 3);
        set.files.insert(set.files.begin(), file("All/Resources/big.bin", random_bytes(600000, 2)));
        install_set release = set;
        if (during_extraction) {
            // An older release is installed first; the killed run updates it.
            publish(nginx, {"fast.test"}, set);
            Frames frames;
            fresh_run();
            get_manifest(frames);
            scan(frames);
            ASSERT_EQ(install(frames, true), 1);
            release.files[0].older = {set.files[0].bytes};
            release.files[0].bytes = random_bytes(600000, 3);
            publish(nginx, {"fast.test"}, release);
        } else {
            publish(nginx, {"slow.test", "fast.test"}, release);
            list_servers(nginx, {"slow.test"});
        }
        next.reset_all_streams();
        http.reset_for_test();   // the child must not share our kept-alive connections

        const pid_t child = ::fork();
        if (child == 0) {
            // The child never returns into the test: whatever happens, it ends here.
            try {
                if (during_extraction) set_staging_write_hook(stop_when_big_file_is_staged);
                Frames frames;
                fresh_run();
                get_manifest(frames);
                scan(frames);
                if (!start_install(true)) ::_exit(2);
                for (int frame = 0; frame < 20000; ++frame) {
                    if (install_frame(frames)) ::_exit(3);   // finished without being stopped
                    std::error_code ec;
                    if (!during_extraction && fs::file_size(temp_path + "0.zip", ec) > 0 && !ec) ::raise(SIGSTOP);
                }
            } catch (...) {
                ::_exit(5);
            }
            ::_exit(4);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, WUNTRACED), child);
        ASSERT_TRUE(WIFSTOPPED(status)) << "the child ended with " << status;
        ::kill(child, SIGKILL);
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        const std::string big = dest_dir_path + "Resources/big.bin";
        if (during_extraction) {
            EXPECT_EQ(read_file(big), set.files[0].bytes) << "the old file stays whole under its name";
            EXPECT_EQ(staging_files().size(), 1u);
        } else {
            EXPECT_FALSE(fs::exists(big)) << "nothing half-written under the final name";
        }

        // The next run, from a mirror that is quick.
        list_servers(nginx, {"fast.test"});
        fresh_run();
        Frames frames;
        get_manifest(frames);
        ASSERT_EQ(stg.stage, 3);
        scan(frames);
        ASSERT_EQ(install(frames, true), 1);
        EXPECT_EQ(stg.error_flag, 0);
        EXPECT_EQ(installed_tree(), without_windows(expected_tree(release)));
        EXPECT_EQ(staging_files(), std::vector<std::string>{});
        EXPECT_EQ(read_file(t / "config/ventaro_install.txt"), dest_dir_path + "\n");
        http.reset_for_test();
    }
}

// Back or Cancel while a file downloads, then the same install again: the first transfer is
// stopped with its archive, so it cannot complete into the deleted archive and fail the file.
TEST_F(EngineRun, BackThenTheSameInstallAgainDuringADownload) {
    nginx_mirrors nginx({{"m1.test", mirror::mode::serve, 400000}, {VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    install_set set = make_set(5, 4);
    set.files.insert(set.files.begin(), file("All/Resources/big.bin", random_bytes(500000, 5)));
    publish(nginx, {"m1.test"}, set);

    Frames frames;
    get_manifest(frames);
    ASSERT_EQ(stg.stage, 3);
    scan(frames);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(start_install(true));
        bool in_flight = false;
        for (int frame = 0; frame < 20000 && !in_flight; ++frame) {
            ASSERT_EQ(install_frame(frames), 0);
            std::error_code ec;
            in_flight = fs::file_size(temp_path + "0.zip", ec) > 0 && !ec;
        }
        ASSERT_TRUE(in_flight);
        next.reset_all_streams();   // what Back and Cancel do
        EXPECT_FALSE(fs::exists(temp_path + "0.zip"));
    }
    ASSERT_EQ(install(frames, true), 1);
    EXPECT_EQ(stg.error_flag, 0);
    EXPECT_EQ(installed_tree(), without_windows(expected_tree(set)));
    EXPECT_EQ(log_text().find("The installer cannot extract a file."), std::string::npos);
    EXPECT_EQ(read_file(t / "config/ventaro_install.txt"), dest_dir_path + "\n");
}

// A full disk is this machine's problem: the install stops at once with the disk's message,
// instead of blaming the server and asking again for ever.
class FullDisk : public EngineRun {
protected:
    void SetUp() override {
        EngineRun::SetUp();
        disk = std::make_unique<small_disk>(t / "small", "size=256k");
        if (!disk->mounted()) GTEST_SKIP() << "a small tmpfs needs root; the full-disk case is not run";
        nginx = std::make_unique<nginx_mirrors>(std::vector<mirror>{{"m1.test"}, {VENTARO_SERVER_HOST}});
        use_mirrors(*nginx);
        set = make_set(3, 6);
        set.files.push_back(file("All/Resources/big.bin", random_bytes(400000, 7)));
        publish(*nginx, {"m1.test"}, set);
    }
    void TearDown() override {
        nginx.reset();
        disk.reset();
        EngineRun::TearDown();
    }
    std::unique_ptr<small_disk> disk;
    std::unique_ptr<nginx_mirrors> nginx;
    install_set set;
};

TEST_F(FullDisk, AFullDestinationStopsTheInstallWithTheDiskMessage) {
    dest_dir_path = t / "small/Copy/";
    Frames frames;
    get_manifest(frames);
    ASSERT_EQ(stg.stage, 3);
    scan(frames);
    EXPECT_NE(install(frames, false, 3000), 0);
    EXPECT_EQ(stg.error_flag, 1);
    const std::string log = log_text();
    EXPECT_NE(log.find("The installer cannot extract a file.\nError: No space left on device. Perhaps your hard drive is full\n"),
              std::string::npos);
    EXPECT_EQ(log.find("is not the file this release lists"), std::string::npos);
    EXPECT_FALSE(fs::exists(dest_dir_path + "Resources/big.bin"));
    EXPECT_EQ(staging_files(), std::vector<std::string>{});
}

TEST_F(FullDisk, AFullTemporaryFolderStopsTheInstallWithTheDiskMessage) {
    temp_path = t / "small/tmp/";
    fs::create_directories(temp_path);
    // The HTTP client says which failures were its local file's; without that, the case is skipped.
    int r = 0;
    {
        Frames probe_frames;
        for (int i = 0; i < 20000 && (r = http.net_check(60, "m1.test", "/Demo Set/All/Resources/big.bin.zip",
                                                         temp_path + "probe.zip")) == 0;
             ++i)
            probe_frames.end_frame();
    }
    const int probe_error = http.local_error(60);
    http.stop_stream(60);
    fs::remove(temp_path + "probe.zip");
    if (r != 2 || probe_error == 0)
        GTEST_SKIP() << "the HTTP client does not report failures to write its local file (http_class::local_error)";

    Frames frames;
    get_manifest(frames);
    ASSERT_EQ(stg.stage, 3);
    scan(frames);
    EXPECT_NE(install(frames, false, 3000), 0);
    EXPECT_EQ(stg.error_flag, 1);
    EXPECT_NE(log_text().find("We could not write the incoming file from the web to disk\nError: No space left on device"),
              std::string::npos);
    nginx->stop();
    EXPECT_LE(count_of(requests_of(nginx->access_log(), "m1.test"), "big.bin"), 2) << "the probe's and one more";
}

}  // namespace
