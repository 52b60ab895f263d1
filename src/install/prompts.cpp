#include "install/prompts.h"

#include "core/localisation.h"
#include "files/error_codes.h"
#include "install/install_state.h"
#include "platform/web_page.h"
#include "core/alert.h"
#include "core/app_globals.h"

question_panels_t question_panels;

namespace {
std::function<int(const std::string&, int)> g_select_answerer;
std::function<int(const std::string&)> g_abort_answerer;

std::string tr(const std::string& s) { return UTL_translate_string(s, 0); }
}  // namespace

void set_select_alert_answerer(std::function<int(const std::string&, int)> f) { g_select_answerer = std::move(f); }
void set_abort_alert_answerer(std::function<int(const std::string&)> f) { g_abort_answerer = std::move(f); }

int select_alert(const std::string& path, int delete_flag) {
    if (g_select_answerer) return g_select_answerer(path, delete_flag);
    // Without a window there is nobody to ask: the question answers as a panel that never opened.
    if (!ogl_inited || !question_panels.select) return 3;
    return question_panels.select(path, delete_flag);
}

int abort_alert(const std::string& message, const std::string& caption1, const std::string& text1,
                const std::string& caption2, const std::string& text2) {
    if (g_abort_answerer) return g_abort_answerer(message);
    if (!ogl_inited || !question_panels.abort) return 3;
    return question_panels.abort(message, caption1, text1, caption2, text2);
}

void make_dir_error(const std::string& folder, int error_code) {
    MACIBM_alert(0,
                 tr("I am unable to install or update Ventaro. An error occurred while creating new folders. "
                    "Make sure you are installing to a directory that you have access to!"),
                 tr("Error: ") + error_sentence(error_code), tr("Install Location: ") + dest_dir_path,
                 tr("Install Path:") + folder, t_warn);
}

void new_installer(const std::string& url) {
    MACIBM_alert(0, tr("There is a newer version of the Ventaro web demo installer available."),
                 tr("I will take you to the web page where you can downoad it."), "", "", t_warn);
    platform_open_web_page(url);
    app_done = 1;
}

void new_format(const std::string& path) {
    MACIBM_alert(0,
                 tr("OK I am checking the Quillon Research servers and I am finding file formats that are newer "
                    "than I can understand!"),
                 tr("In other words, you need to get a new installer!"),
                 tr("No problem... grab it at the download section of ") + "http://" VENTARO_SERVER_HOST "/",
                 path, t_warn);
    platform_open_web_page("http://" VENTARO_SERVER_HOST "/demo.html");
    stg.format_flag = 2;
    app_done = 1;
}
