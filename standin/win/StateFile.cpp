#include "standin/win/StateFile.h"

#include <windows.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "base/HostError.h"
#include "standin/win/Script.h"
#include "standin/win/Transcript.h"

namespace standin::win {

namespace {

// Identities of pictures read back from a state file; kept for the whole run.
std::deque<std::u16string>& LoadedPictures() {
    static std::deque<std::u16string> pictures;
    return pictures;
}

std::u16string Bool(bool b) { return b ? u"true" : u"false"; }

void Bars(std::u16string& out, const char16_t* window, const BarSet& set,
          const std::function<std::u16string(const void*)>& describe) {
    const auto picture = [&](const void* p) -> std::u16string {
        if (!p) return u"none";
        std::u16string text = describe(p);
        return Transcript::Quote(text.empty() ? u"picture" : text);
    };
    for (const auto& bar : set.bars) {
        if (bar->temporary || bar->deleted) continue;
        out += u"bar " + std::u16string(window) + u" name " + Transcript::Quote(bar->name) + u" position " +
               Num(bar->position) + u" visible " + Bool(bar->visible) + u" protection " + Num(bar->protection) + u"\n";
        for (const auto& c : bar->controls) {
            if (c->temporary || c->deleted) continue;
            out += u"control type " + Num(c->type) + u" id " + Num(c->id) + u" caption " + Transcript::Quote(c->caption) +
                   u" onaction " + Transcript::Quote(c->onAction) + u" tag " + Transcript::Quote(c->tag) + u" enabled " +
                   Bool(c->enabled) + u" style " + Num(c->style) + u" faceid " + Num(c->faceId) + u" picture " +
                   picture(c->picture) + u" mask " + picture(c->mask) + u"\n";
        }
    }
}

}  // namespace

void SaveState(const std::wstring& path, const CommandBarStore& store,
               const std::function<std::u16string(const void*)>& describe) {
    std::u16string text = u"# Command bars kept by the stand-in host between runs.\n";
    Bars(text, u"inspector", store.inspector, describe);
    Bars(text, u"explorer", store.explorer, describe);
    const std::string bytes = ToUtf8(text);
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw HostError(E_FAIL, u"Cannot write the state file");
}

void LoadState(const std::wstring& path, CommandBarStore& store) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return;
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::shared_ptr<BarNode> bar;
    for (const ScriptLine& line : ParseScript(FromUtf8(bytes))) {
        const auto& w = line.words;
        if (w.size() % 2 != 0 && w[0] == u"bar") throw ScriptError(line.number, u"bar: odd number of words");
        std::map<std::u16string, std::u16string> fields;
        for (size_t i = w[0] == u"bar" ? 2 : 1; i + 1 < w.size(); i += 2) fields[w[i]] = w[i + 1];
        const auto number = [&](const char16_t* key) {
            try {
                return std::stoi(ToUtf8(fields.at(key)));
            } catch (...) {
                throw ScriptError(line.number, u"missing or bad number: " + std::u16string(key));
            }
        };
        if (w[0] == u"bar") {
            if (w.size() < 2 || (w[1] != u"inspector" && w[1] != u"explorer"))
                throw ScriptError(line.number, u"bar: window kind expected");
            BarSet& set = w[1] == u"inspector" ? store.inspector : store.explorer;
            bar = std::make_shared<BarNode>();
            bar->name = fields[u"name"];
            bar->position = number(u"position");
            bar->visible = fields[u"visible"] == u"true";
            bar->protection = number(u"protection");
            set.bars.push_back(bar);
        } else if (w[0] == u"control") {
            if (!bar) throw ScriptError(line.number, u"control before any bar");
            auto c = std::make_shared<ControlNode>();
            c->type = number(u"type");
            c->id = number(u"id");
            c->caption = fields[u"caption"];
            c->onAction = fields[u"onaction"];
            c->tag = fields[u"tag"];
            c->enabled = fields[u"enabled"] == u"true";
            c->style = number(u"style");
            c->faceId = number(u"faceid");
            for (auto [key, slot] : {std::pair{u"picture", &c->picture}, std::pair{u"mask", &c->mask}}) {
                const std::u16string value = fields[key];
                if (value.empty() || value == u"none") continue;
                LoadedPictures().push_back(value);
                *slot = &LoadedPictures().back();
            }
            c->parent = bar;
            bar->controls.push_back(std::move(c));
        } else {
            throw ScriptError(line.number, u"unknown line: " + w[0]);
        }
    }
}

std::u16string LoadedPictureText(const void* identity) {
    for (const auto& p : LoadedPictures())
        if (&p == identity) return p;
    return {};
}

}  // namespace standin::win
