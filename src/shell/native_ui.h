#pragma once
// Bridges to the desktop's own user interface outside the OpenGL window: the file and folder
// chooser, the web browser and the plain stop alert. Each blocks until the desktop returns.
#include <cstdint>
#include <string>

// mode 0 open a file, 1 save a file, 2 choose a folder. 1 with the chosen path in result; 0 when
// cancelled or failed, result unchanged.
int GetFilePathFromUser(int mode, const std::string& message, const std::string& button_label, int pref_key,
                        const std::string& start_path, std::string& result);
// The chooser's event callback: nothing to do.
void event_proc(int selector, void* callback_record, void* user_data);
void go_to_URL(const std::string& url);
void DoUserAlert(const char* text);
void EndianFlipShort(uint16_t* value);
void EndianFlipLong(uint32_t* value);
