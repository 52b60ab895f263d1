#pragma once
// The one way a problem reaches the user.
#include <string>

enum { t_lang = 0, t_warn = 1, t_quit = 2, t_crash = 3 };

// Returns for warnings and the language chooser; quits and crashes end the program, as does an
// alert raised while another is showing.
void __MACIBM_alert(int return_panel, const std::string& l1, const std::string& l2, const std::string& l3,
                    const std::string& l4, int type, const char* file, int line);

#define MACIBM_alert(panel, l1, l2, l3, l4, type) __MACIBM_alert((panel), (l1), (l2), (l3), (l4), (type), __FILE__, __LINE__)

// 1 while a main-thread alert is being handled.
int MACIBM_in_alert();
