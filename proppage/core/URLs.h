#pragma once
// The maker's addresses shown in the About box. All under the reserved ".example" domain.

namespace proppage::URLs {

/// The maker's web site.
inline constexpr char16_t WebSite[] = u"https://www.quenmark.example/";
/// The documentation page of Save Attachments.
inline constexpr char16_t Documentation[] = u"https://www.quenmark.example/save-attachments/help";
/// The support e-mail address.
inline constexpr char16_t SupportEmail[] = u"support@quenmark.example";

}  // namespace proppage::URLs
