#pragma once
// The page tests use the host's own Options dialog container (standin/win/PageContainer.h): a client
// site that is also the host's PropertyPageSite (or not), an in-place site and frame, a control site
// whose extender offers Parent, and an Apply button set from Dirty after each status change.
#include "standin/win/PageContainer.h"

namespace testpage {

using standin::win::PumpMessages;
using standin::win::SiteRoute;

class TestContainer : public standin::win::PageContainer {
public:
    explicit TestContainer(SiteRoute route) : PageContainer(route, u"Save Attachments") {}
};

}  // namespace testpage
