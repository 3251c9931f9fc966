// The suggestions for a name in a folder held in memory: every name offered is a sound Windows file
// name in that folder (only names in it are ever tested), not taken there, with the extension of the
// safe form of the name, fitted to the folder wherever that is possible; every candidate is there
// unless a hundred names are taken. The list from one listing of the folder is the list from testing
// name by name, made with one query (on a local disk, after the tests up to the first name taken).
// Lines: the file name; the folder; the sender; a flags line (first character: bit 0 a mail item,
// bit 1 its date formattable, bit 2 a host of version 11); then the names in the folder, each
// optionally followed by "|" and its short alias.
#include "addin/core/FileNameMangler.h"
#include "addin/core/HostVersion.h"
#include "addin/core/PathNames.h"
#include "fuzz/FuzzSupport.h"

using namespace addin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using fuzz::Check;
    std::vector<std::u16string> lines = fuzz::Lines(data, size);
    lines.resize(std::max<std::size_t>(lines.size(), 4));
    const std::u16string& fileName = lines[0];
    const std::u16string& folder = lines[1];
    const unsigned flags = lines[3].empty() ? 0 : lines[3][0];
    const bool mail = flags & 1, datesFormattable = flags & 2;

    fuzz::InMemoryFolder platform(folder, datesFormattable);
    for (std::size_t i = 4; i < lines.size(); ++i) {
        const std::size_t bar = lines[i].find(u'|');
        platform.Add(std::u16string_view(lines[i]).substr(0, bar),
                     bar == std::u16string::npos ? std::u16string_view() : std::u16string_view(lines[i]).substr(bar + 1));
    }
    const int16_t hostMajorVersion = (flags & 4) ? 11 : 9;
    FileNameMangler mangler(platform, hostMajorVersion);
    mangler.mItem(std::make_shared<fuzz::MailItem>(mail ? u"MailItem" : u"PostItem", lines[2]));

    const std::vector<std::u16string> names = mangler.GetFileNameMangling(fileName, folder, FolderLookup::Probing);
    const int tests = platform.Tests();
    Check(platform.Listings() == 0, "probing lists nothing");
    for (const bool network : {true, false}) {
        platform.network = network;
        FileNameMangler lister(platform, hostMajorVersion);  // a mangler keeps where its last folder lies
        lister.mItem(mangler.mItem());
        const int before = platform.Tests(), listings = platform.Listings();
        Check(lister.GetFileNameMangling(fileName, folder, FolderLookup::Listing) == names,
              "the listing gives the list probing gives");
        const int listTests = platform.Tests() - before;
        Check(platform.Listings() - listings <= 1, "at most one query");
        if (network) Check(listTests == 0, "on a share no existence test");
        // On a local disk the names tested are the ones probing tests up to the first taken one.
        if (!network) Check(listTests <= tests, "locally no more tests than probing");
    }

    std::u16string base;
    const std::u16string extension = PathNames::SplitFileName(PathNames::SafeFileName(fileName), base);
    const std::u16string ending = extension.empty() ? std::u16string() : u"." + extension;
    const std::size_t room = PathNames::RoomInFolder(folder);
    const bool senderAndDate = mail && (flags & 4);
    Check(names.size() <= (senderAndDate ? (datesFormattable ? 4u : 2u) : 1u), "at most the candidates asked for");
    Check(tests <= 404, "at most 404 existence tests");
    for (const std::u16string& name : names) {
        Check(fuzz::IsSoundFileName(name), "every name offered is sound");
        Check(!platform.Holds(name), "no name offered is taken in the folder");
        Check(name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0,
              "the extension is kept");
        // Shortened, a name keeps one character (two units at most) of its stem, " -- " and a number
        // of up to three digits, and its extension.
        if (name.size() > room) Check(2 + 7 + ending.size() > room, "a name is too long only when it cannot fit");
    }
    // A candidate goes only when its plain name and all its hundred numbers are taken.
    if (platform.Size() < 100)
        Check(names.size() == (senderAndDate ? (datesFormattable ? 4u : 2u) : 1u), "every candidate is offered");
    return 0;
}
