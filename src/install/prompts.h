#pragma once
// The engine's questions and announcements to the user.
//
// Until the widget toolkit and its modal panels exist, the two questions answer through a
// replaceable answerer (the default keeps the user's file and lets an install go on) and the
// announcements go through the alert function and the platform's web-page opener.
#include <functional>
#include <string>

// 1 act, 2 keep, 3 cancel the installation, 4 act for the folder, 5 keep for the folder.
int select_alert(const std::string& path, int delete_flag);
// 1 first button, 0 second button, 3 closed another way.
int abort_alert(const std::string& message, const std::string& caption1, const std::string& text1,
                const std::string& caption2, const std::string& text2);

void make_dir_error(const std::string& folder, int error_code);
void new_installer(const std::string& url);
void new_format(const std::string& path);

// Test seams: answer the questions without a panel. An empty function restores the default.
void set_select_alert_answerer(std::function<int(const std::string& path, int delete_flag)> f);
void set_abort_alert_answerer(std::function<int(const std::string& message)> f);
