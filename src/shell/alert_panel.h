#pragma once
// The alert panel (994), the language chooser on the same panel, and the save-changes question
// (995): modal panels that run their own frames until they close.
#include <string>

// Shows the alert in panel 994 and returns when it closes (types 0 and 1 reopen return_panel).
void MACIBM_alert_panel(int return_panel, const std::string& l1, const std::string& l2, const std::string& l3,
                        const std::string& l4, int type, const std::string& suffix);
// 1 Save, 2 Don't Save, 3 Cancel or closed another way.
int MACIBM_nuke_alert(const std::string& name, int cancel_allowed);
