#pragma once
// The engine's questions and announcements to the user.
//
// The two questions are put by panels that the wizard offers through question_panels; the
// announcements go through the alert function and the platform's web-page opener. Main thread
// only.
#include <functional>
#include <string>

// 1 act, 2 keep, 3 cancel the installation (also when the panel cannot open or is replaced),
// 4 act for every changed file in the folder, 5 keep every changed file in the folder.
int select_alert(const std::string& path, int delete_flag);
// 1 first button, 0 second button, 3 when the panel cannot open or is replaced. The captions
// and texts come translated; each text reads on from its button.
int abort_alert(const std::string& message, const std::string& caption1, const std::string& text1,
                const std::string& caption2, const std::string& text2);

// The panels that ask the questions. Without them (or without a window) a question answers as a
// panel that never opened.
struct question_panels_t {
    int (*select)(const std::string& path, int delete_flag) = nullptr;
    int (*abort)(const std::string& message, const std::string& caption1, const std::string& text1,
                 const std::string& caption2, const std::string& text2) = nullptr;
};
extern question_panels_t question_panels;

void make_dir_error(const std::string& folder, int error_code);
// Announces the newer installer, opens its page (http and https only) and ends the program.
void new_installer(const std::string& url);
void new_format(const std::string& path);

// Test seams: answer the questions without a panel. An empty function restores the panels.
void set_select_alert_answerer(std::function<int(const std::string& path, int delete_flag)> f);
void set_abort_alert_answerer(std::function<int(const std::string& message)> f);
