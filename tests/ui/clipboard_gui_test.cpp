// The text on the desktop clipboard under Xvfb: text another X client (xclip) put there is read
// byte for byte, and text we put there is what xclip reads back.
#include <SDL.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/video.h"
#include "ui/clipboard.h"
#include "support/run_answering.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

extern char** environ;

namespace {

// Non-ASCII in two, three and four bytes, a tab and both kinds of line end.
const std::string kTheirs = "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln \xE2\x80\x94 \xE2\x9C\x88 \xE6\x97\xA5\xE6\x9C\xAC "
                            "\xF0\x9F\x9B\xA9\n\tline two\r\n";
const std::string kOurs = "Ventaro \xE2\x80\x94 \xC3\xA7" "a marche \xE2\x9C\x93\nR\xC3\xA9pertoire\r\n";

// Runs a program and keeps SDL's event queue moving until it ends, since a client reading our
// selection waits for this process to answer. Bounded: 20 s of 10 ms waits.
int run_pumping(const std::vector<std::string>& args, std::string* out) {
    return testsupport::run_answering(args, out, [] { SDL_PumpEvents(); }, 10, 2000);
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
