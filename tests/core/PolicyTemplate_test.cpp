// The administrative template in installer/admx names only what the add-in reads: every policy's
// key and value is one Policies::Read asks for, with the type the resolver takes (REG_DWORD, from
// decimal elements) and values it accepts, and every value read has its policy.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "addin/core/Policies.h"
#include "tests/core/FakePlatform.h"
#include "tests/core/Session.h"

using namespace addin;

namespace {

std::string ReadText(const std::string& relative) {
    std::ifstream in(std::string(TALLOWBY_SOURCE_DIR) + "/" + relative, std::ios::binary);
    EXPECT_TRUE(in) << relative;
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Narrow(const std::u16string& s) { return {s.begin(), s.end()}; }

std::string Attribute(const std::string& tag, const std::string& name) {
    std::smatch m;
    const std::regex pattern("\\s" + name + "=\"([^\"]*)\"");
    return std::regex_search(tag, m, pattern) ? m[1].str() : std::string();
}

struct Setting {
    std::string name, policyClass, key, valueName;
    std::vector<std::string> valueElements;  // each element that gives the value its type
    std::vector<std::string> decimals;       // the numbers written
};

std::vector<Setting> Settings(const std::string& admx) {
    std::vector<Setting> settings;
    const std::regex policy("<policy\\s([^>]*)>([\\s\\S]*?)</policy>");
    for (auto it = std::sregex_iterator(admx.begin(), admx.end(), policy); it != std::sregex_iterator(); ++it) {
        const std::string tag = " " + (*it)[1].str();
        const std::string body = (*it)[2].str();
        Setting s{Attribute(tag, "name"), Attribute(tag, "class"), Attribute(tag, "key"), Attribute(tag, "valueName"),
                  {}, {}};
        const std::regex element("<(decimal|longDecimal|string|delete|list|elements|text|enum|boolean)\\b([^>]*)>");
        for (auto e = std::sregex_iterator(body.begin(), body.end(), element); e != std::sregex_iterator(); ++e) {
            s.valueElements.push_back((*e)[1].str());
            if ((*e)[1].str() == "decimal") s.decimals.push_back(Attribute(" " + (*e)[2].str(), "value"));
        }
        // A value of its own inside the policy would name it apart: none may.
        EXPECT_EQ(body.find("valueName="), std::string::npos) << s.name;
        EXPECT_EQ(body.find("key="), std::string::npos) << s.name;
        settings.push_back(std::move(s));
    }
    return settings;
}

// The keys and values Policies::Read asks for, in either hive.
std::set<std::pair<std::string, std::string>> ValuesRead() {
    FakePlatform platform;
    (void)Policies::Read(platform);
    std::set<std::pair<std::string, std::string>> read;
    for (const auto& [hive, path] : platform.policyReads) {
        const std::string whole = Narrow(path);
        const auto slash = whole.rfind('\\');
        read.insert({whole.substr(0, slash), whole.substr(slash + 1)});
    }
    return read;
}

}  // namespace

TEST(PolicyTemplate, EveryPolicyIsAValueTheAddInReadsAsADwordOfZeroOrOneAndEveryValueReadHasOne) {
    Session session;
    const std::string admx = ReadText("installer/admx/Tallowby.admx");
    const std::vector<Setting> settings = Settings(admx);
    ASSERT_FALSE(settings.empty());
    const auto read = ValuesRead();
    std::set<std::pair<std::string, std::string>> named;
    for (const Setting& s : settings) {
        SCOPED_TRACE(s.name);
        named.insert({s.key, s.valueName});
        EXPECT_TRUE(read.count({s.key, s.valueName})) << s.key << "\\" << s.valueName << " is not read by the add-in";
        EXPECT_EQ(s.policyClass, "Both") << "the add-in reads the machine's and the user's key";
        // Decimal elements only: the template writes REG_DWORD, the one type the resolver takes.
        EXPECT_EQ(s.valueElements, (std::vector<std::string>{"decimal", "decimal"}));
        for (const std::string& n : s.decimals) {
            const uint32_t number = static_cast<uint32_t>(std::stoul(n));
            const Policies::Value dword{Policies::Value::Kind::Dword, number};
            const Policies::Held held{dword, {}};
            const Policies::Effective effective = s.valueName == Narrow(Policies::AllowReplace)
                                                      ? Policies::Resolve({}, held)
                                                      : Policies::Resolve(held, {});
            EXPECT_TRUE(effective.ignored.empty()) << n << " would be ignored";
        }
    }
    EXPECT_EQ(named, read) << "every value the add-in reads has its policy";
}

TEST(PolicyTemplate, EveryStringTheTemplateNamesIsInTheLanguageFile) {
    const std::string admx = ReadText("installer/admx/Tallowby.admx");
    const std::string adml = ReadText("installer/admx/en-US/Tallowby.adml");
    const std::regex reference("\\$\\(string\\.([A-Za-z0-9_]+)\\)");
    int references = 0;
    for (auto it = std::sregex_iterator(admx.begin(), admx.end(), reference); it != std::sregex_iterator(); ++it) {
        ++references;
        EXPECT_NE(adml.find("<string id=\"" + (*it)[1].str() + "\">"), std::string::npos) << (*it)[1].str();
    }
    EXPECT_GT(references, 0);
}
