// The text on the desktop clipboard under Xvfb: text another X client (xclip) put there is read
// byte for byte, and text we put there is what xclip reads back.
#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/video.h"
#include "shell/clipboard.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

extern char** environ;

namespace {

// Non-ASCII in two, three and four bytes, a tab and both kinds of line end.
const std::string kTheirs = "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln \xE2\x80\x94 \xE2\x9C\x88 \xE6\x97\xA5\xE6\x9C\xAC "
                            "\xF0\x9F\x9B\xA9\n\tline two\r\n";
const std::string kOurs = "Ventaro \xE2\x80\x94 \xC3\xA7" "a marche \xE2\x9C\x93\nR\xC3\xA9pertoire\r\n";

// Runs a program and keeps SDL's event queue moving until it ends, since a client reading our
// selection waits for this process to answer. Its standard output goes to out when given.
int run_pumping(const std::vector<std::string>& args, std::string* out) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    // xclip leaves a child behind to serve its selection: it must not hold our pipe open.
    if (out) posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    else posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return -1;
    }
    int status = -1;
    bool open = true, reaped = false;
    // Bounded: 20 s of 10 ms polls.
    for (int i = 0; i < 2000 && (open || !reaped); ++i) {
        SDL_PumpEvents();
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, open ? 1 : 0, 10) > 0) {
            char buf[4096];
            const ssize_t n = ::read(fds[0], buf, sizeof buf);
            if (n > 0 && out) out->append(buf, static_cast<std::size_t>(n));
            if (n == 0 || (n < 0 && errno != EINTR)) open = false;
        }
        if (!reaped && ::waitpid(pid, &status, WNOHANG) == pid) reaped = true;
    }
    ::close(fds[0]);
    if (!reaped) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ClipboardOnX, TextCrossesToAndFromAnotherClientByteForByte) {
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    ASSERT_TRUE(platform::video_start()) << SDL_GetError();

    // Ours first, with a private item that only this process knows.
    const int priv = UTL_RegisterPrivateClipType("selection of tiles");
    const int types[] = {0, priv};
    const int sizes[] = {4, 3};
    const void* data[] = {"ours", "abc"};
    ASSERT_TRUE(UTL_Clipboard_SetData(2, types, sizes, data));
    EXPECT_EQ(UTL_Clipboard_HasClipType(priv), 1);

    // Another client takes the clipboard: its text replaces ours, the private item goes with it.
    testsupport::temp_dir dir;
    testsupport::write_file(dir / "theirs.txt", kTheirs);
    ASSERT_EQ(run_pumping({"xclip", "-selection", "clipboard", "-i", dir / "theirs.txt"}, nullptr), 0);
    // xclip's parent may end before the child it leaves behind has taken the selection.
    std::string text = "ours";
    for (int i = 0; i < 2000 && text == "ours"; ++i) {
        SDL_PumpEvents();
        ::poll(nullptr, 0, 10);
        ASSERT_TRUE(UTL_GetTextFromClipboard(text));
    }
    EXPECT_EQ(text, kTheirs);
    EXPECT_EQ(UTL_Clipboard_HasClipType(priv), 0);
    std::vector<int> on_clipboard;
    UTL_Clipboard_GetTypes(on_clipboard);
    EXPECT_EQ(on_clipboard, std::vector<int>{0});

    // Ours again; xclip reads it from this process.
    ASSERT_TRUE(UTL_SetTextToClipboard(kOurs));
    std::string read_back;
    ASSERT_EQ(run_pumping({"xclip", "-selection", "clipboard", "-o", "-t", "UTF8_STRING"}, &read_back), 0);
    EXPECT_EQ(read_back, kOurs);
    text.clear();
    ASSERT_TRUE(UTL_GetTextFromClipboard(text));
    EXPECT_EQ(text, kOurs);

    platform::video_stop();
}

}  // namespace
