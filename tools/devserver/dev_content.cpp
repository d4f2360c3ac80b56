#include "dev_content.h"

#include <array>

namespace corvanta::devserver {
namespace {

struct DemoModel {
    const char* name;
    const char* creator;
    const char* icon;
    const char* colour;
    const char* context;
    const char* intelligence;
    const char* price;
    const char* speed;
    const char* latency;
    const char* response;
};

constexpr std::array<DemoModel, 4> kModels{{
    {"Aurora 3", "Northwind Labs", "aurora", "#4f7cff", "200k", "71", "$1.25", "182.4", "0.41",
     "3.2"},
    {"Basalt XL", "Stonebridge AI", "basalt", "#7a5af8", "128k", "66", "$0.60", "96.0", "0.38",
     "5.9"},
    {"Cirrus Mini", "Skyline Research", "cirrus", "#12b886", "32k", "52", "$0.15", "240", "0.22",
     "2.1"},
    {"Delta Open", "Riverbank Collective", "delta", "#f59f00", "64k", "48", "free", "n/a", "", ""},
}};

}  // namespace

nlohmann::json demoNotices(std::int64_t now) {
    return nlohmann::json::array({
        {{"id", 3},
         {"title", "Welcome to Corvanta"},
         {"content",
          "<p>This is the <b>development backend</b>. Tasks, tokens and devices live in memory "
          "and are gone when it stops.</p>"},
         {"createtime", now - 3600}},
        {{"id", 2},
         {"title", "Scheduled maintenance"},
         {"content",
          "<p>Nothing is scheduled. This notice exists so that lists have two rows.</p>"},
         {"createtime", now - 86400 * 3}},
    });
}

nlohmann::json demoModels(const std::string& origin) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& m : kModels) {
        nlohmann::json row{{"model", m.name},
                           {"features_context_window", m.context},
                           {"features_creator", m.creator},
                           {"icon_src", origin + "/static/icons/" + m.icon + ".svg"},
                           {"intelligence", m.intelligence},
                           {"price", m.price},
                           {"speed", m.speed},
                           {"latency", m.latency}};
        if (*m.response != '\0') {
            row["end_to_end_response_time"] = m.response;
        }
        list.push_back(std::move(row));
    }
    return list;
}

std::optional<std::string> demoIcon(const std::string& name) {
    for (const auto& m : kModels) {
        if (name == m.icon) {
            const char letter = char(m.name[0]);
            return std::string(
                       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" "
                       "viewBox=\"0 0 64 64\"><circle cx=\"32\" cy=\"32\" r=\"30\" fill=\"") +
                   m.colour +
                   "\"/><text x=\"32\" y=\"42\" font-family=\"sans-serif\" font-size=\"28\" "
                   "text-anchor=\"middle\" fill=\"#ffffff\">" +
                   letter + "</text></svg>\n";
        }
    }
    return std::nullopt;
}

std::optional<nlohmann::json> demoPage(const std::string& type) {
    if (type == "about") {
        return nlohmann::json{{"title", "About Corvanta"},
                              {"content",
                               "<h2>About</h2><p>Corvanta lends your computer's spare power to a "
                               "shared backend and credits the work in tokens.</p>"}};
    }
    if (type == "privacy") {
        return nlohmann::json{{"title", "Privacy"},
                              {"content",
                               "<h2>Privacy</h2><p>The development backend keeps nothing on "
                               "disk.</p>"}};
    }
    if (type == "terms") {
        return nlohmann::json{{"title", "Terms of use"},
                              {"content", "<h2>Terms</h2><p>For development and tests only.</p>"}};
    }
    return std::nullopt;
}

}  // namespace corvanta::devserver
