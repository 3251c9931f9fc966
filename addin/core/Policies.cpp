#include "addin/core/Policies.h"

#include <cstdint>

#include "base/HostError.h"
#include "base/Tolerate.h"

namespace addin {

namespace Policies {

namespace {

std::u16string Decimal(uint32_t n) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
        n /= 10;
    } while (n != 0);
    return digits;
}

std::u16string HiveName(Platform::PolicyHive hive) {
    return hive == Platform::PolicyHive::Machine ? u"HKLM" : u"HKCU";
}

// The value one hive gives, or nothing when it gives none that counts; a line for one that is ignored.
std::optional<bool> Valid(const Value& value, Platform::PolicyHive hive, const char16_t* name,
                          std::vector<std::u16string>& ignored) {
    if (value.kind == Value::Kind::Absent) return std::nullopt;
    const std::u16string where = HiveName(hive) + u"\\" + Key + u"\\" + name;
    if (value.kind == Value::Kind::OtherType) {
        ignored.push_back(u"Policy " + where + u" ignored: not a REG_DWORD");
        return std::nullopt;
    }
    if (value.number > 1) {
        ignored.push_back(u"Policy " + where + u" ignored: " + Decimal(value.number) + u" is neither 0 nor 1");
        return std::nullopt;
    }
    return value.number == 1;
}

std::optional<bool> Winner(const Held& held, const char16_t* name, std::vector<std::u16string>& ignored) {
    // Both hives are looked at, so that an ignored user value is told even where the machine's wins.
    const std::optional<bool> machine = Valid(held.machine, Platform::PolicyHive::Machine, name, ignored);
    const std::optional<bool> user = Valid(held.user, Platform::PolicyHive::User, name, ignored);
    return machine ? machine : user;
}

Value ReadOne(Platform& platform, Platform::PolicyHive hive, const char16_t* name) {
    Value value;
    // A hive that cannot be read holds no policy: the user's preference then applies.
    base::Tolerate([&] { value = platform.ReadPolicyValue(hive, Key, name); });
    return value;
}

}  // namespace

Effective Resolve(const Held& replaceWithLinks, const Held& allowReplace) {
    Effective effective;
    effective.replaceWithLinks = Winner(replaceWithLinks, ReplaceWithLinks, effective.ignored);
    effective.replaceAllowed = Winner(allowReplace, AllowReplace, effective.ignored).value_or(true);
    return effective;
}

Effective Read(Platform& platform) {
    using Hive = Platform::PolicyHive;
    const Held replace{ReadOne(platform, Hive::Machine, ReplaceWithLinks),
                       ReadOne(platform, Hive::User, ReplaceWithLinks)};
    const Held allow{ReadOne(platform, Hive::Machine, AllowReplace), ReadOne(platform, Hive::User, AllowReplace)};
    Effective effective = Resolve(replace, allow);
    for (const std::u16string& line : effective.ignored)
        base::ReportTolerated(HostStatus::TypeMismatch, line, base::Where::Here());
    return effective;
}

}  // namespace Policies

}  // namespace addin
