#pragma once
// A strict fake of the platform for the native tests: settings in memory, message boxes answered
// from a queue, pictures counted. Any call a test did not prepare for fails the test.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/HostError.h"
#include "core/Platform.h"

struct FakePicture : host::Picture {
    explicit FakePicture(int16_t id) : resourceId(id) {}
    int16_t resourceId;
};

struct ShownMessage {
    std::u16string text;
    std::u16string title;
    int32_t flags;
};

class FakePlatform : public Platform {
public:
    using SettingKey = std::tuple<std::u16string, std::u16string, std::u16string>;

    // Settings store.
    std::map<SettingKey, std::u16string> settings;
    std::vector<std::u16string> saved;  // each value written, in order
    int reads = 0;
    bool failSave = false;

    // Message boxes.
    std::deque<int32_t> answers;
    bool failMessageBox = false;
    std::vector<ShownMessage> shown;

    // Pictures.
    bool failLoadPicture = false;
    std::vector<int16_t> loaded;
    std::vector<std::weak_ptr<host::Picture>> pictures;

    void Store(const std::u16string& value) {
        settings[{u"Quenmark Save Attachments", u"Preferences", u"ReplaceWithLinks"}] = value;
    }
    int LivePictures() const {
        int n = 0;
        for (const auto& p : pictures) n += p.expired() ? 0 : 1;
        return n;
    }

    int32_t ShowMessageBox(const std::u16string& text, const std::u16string& title, int32_t flags) override {
        shown.push_back({text, title, flags});
        if (failMessageBox) throw HostError(HostStatus::Fail, u"no message box");
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected message box";
            return MessageBoxResult::Cancel;
        }
        const int32_t answer = answers.front();
        answers.pop_front();
        return answer;
    }
    int32_t OpenWithShell(const std::u16string&) override { return Unexpected("OpenWithShell"); }
    void StartProcess(const std::u16string&) override { Unexpected("StartProcess"); }
    int32_t FileExists(const std::u16string&) override { return Unexpected("FileExists"); }
    std::u16string GetSetting(const std::u16string& app, const std::u16string& section, const std::u16string& key,
                              const std::u16string& defaultValue) override {
        ++reads;
        const auto it = settings.find({app, section, key});
        return it == settings.end() ? defaultValue : it->second;
    }
    void SaveSetting(const std::u16string& app, const std::u16string& section, const std::u16string& key,
                     const std::u16string& value) override {
        if (failSave) throw HostError(HostStatus::Fail, u"store not writable");
        settings[{app, section, key}] = value;
        saved.push_back(value);
    }
    std::u16string FormatDate(const host::DateTime&, const std::u16string&) override {
        Unexpected("FormatDate");
        return {};
    }
    std::shared_ptr<host::Picture> LoadPicture(int16_t resourceId) override {
        if (failLoadPicture) throw HostError(HostStatus::Fail, u"no such resource");
        loaded.push_back(resourceId);
        auto picture = std::make_shared<FakePicture>(resourceId);
        pictures.push_back(picture);
        return picture;
    }
    std::shared_ptr<SaveAsPrompt> CreateSaveAsPrompt() override {
        Unexpected("CreateSaveAsPrompt");
        return nullptr;
    }

private:
    static int32_t Unexpected(const char* what) {
        ADD_FAILURE() << "unexpected platform call " << what;
        throw HostError(HostStatus::Unexpected, u"unexpected platform call");
    }
};
