#include "cli/doctor/doctor_checks.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "cli/file_mode_text.h"
#include "protocol/vendor.h"
#include "texts/message_format.h"
#include "texts/text_encoding.h"
#include "texts/version_text.h"

namespace {

std::wstring Hex4(unsigned value) {
  wchar_t text[8];
  std::swprintf(text, 8, L"%04x", value & 0xFFFFu);
  return text;
}

// The fixes that are commands alone, the same in every language.
constexpr wchar_t BIND_COMMAND[] = L"echo %s | sudo tee /sys/bus/hid/drivers/hid-generic/bind";
constexpr wchar_t RELOAD_COMMAND[] =
    L"sudo udevadm control --reload && sudo udevadm trigger --subsystem-match=hidraw";

std::wstring W(const std::string& text) {
  return WideFromUtf8(text);
}

Check Line(const char* key, Verdict verdict, std::wstring text, std::wstring fix = {}) {
  return {key, verdict, std::move(text), std::move(fix)};
}

bool InGroups(const UserFacts& user, unsigned gid) {
  return std::find(user.groups.begin(), user.groups.end(), static_cast<gid_t>(gid)) !=
         user.groups.end();
}

constexpr std::uint16_t READ_WRITE = 6;

// Whether the kernel lets `user` read and write the node: root, the owner's bits, a named user
// of the ACL (the seat's user gets one through uaccess), the group's bits or a named group, or
// anyone's. The ACL's mask, where there is one, limits named entries and the group.
bool MayOpen(const UnitFacts& unit, const UserFacts& user) {
  const FileFacts& node = *unit.node;
  if (user.uid == 0) {
    return true;
  }
  if (user.uid == node.owner) {
    return (node.mode & 0600) == 0600;
  }
  std::uint16_t mask = static_cast<std::uint16_t>((node.mode >> 3) & 7);
  for (const AclEntry& entry : unit.acl) {
    if (entry.tag == 0x10) {  // ACL_MASK
      mask = entry.permissions;
    }
  }
  for (const AclEntry& entry : unit.acl) {
    if (entry.tag == ACL_TAG_USER && entry.id == user.uid) {
      return (entry.permissions & mask & READ_WRITE) == READ_WRITE;
    }
  }
  bool groupMatched = false;
  if (InGroups(user, node.group)) {
    groupMatched = true;
    if ((((node.mode >> 3) & 7) & READ_WRITE) == READ_WRITE) {
      return true;
    }
  }
  for (const AclEntry& entry : unit.acl) {
    if (entry.tag == ACL_TAG_GROUP && InGroups(user, entry.id)) {
      groupMatched = true;
      if ((entry.permissions & mask & READ_WRITE) == READ_WRITE) {
        return true;
      }
    }
  }
  return !groupMatched && (node.mode & 0006) == 0006;
}

std::wstring AclText(const UnitFacts& unit, const Catalogue& texts) {
  std::wstring text;
  for (const AclEntry& entry : unit.acl) {
    if (entry.tag != ACL_TAG_USER && entry.tag != ACL_TAG_GROUP) {
      continue;
    }
    text += (text.empty() ? L"" : L", ") +
            std::wstring(entry.tag == ACL_TAG_USER ? L"user:" : L"group:") +
            std::to_wstring(entry.id) + L":" + ((entry.permissions & 4) != 0 ? L"r" : L"-") +
            ((entry.permissions & 2) != 0 ? L"w" : L"-");
  }
  return text.empty() ? texts.Text(IDS_DOCTOR_ACL_NONE) : text;
}

bool RuleApplied(const UnitFacts& unit) {
  // The rule tags the node for uaccess and gives it to plugdev; either shows it was applied.
  const bool tagged = unit.udevTags && std::find(unit.udevTags->begin(), unit.udevTags->end(),
                                                 "uaccess") != unit.udevTags->end();
  return tagged || unit.groupName == "plugdev";
}

void Fail(UnitChecks& result, ExitStatus status) {
  if (result.status == ExitStatus::Success) {
    result.status = status;
  }
}

UnitChecks JudgeUnit(const UnitFacts& unit, const SystemFacts& facts, const UserFacts& user,
                     const Catalogue& texts) {
  UnitChecks result;
  result.hidDevice = unit.hidDevice;
  result.nodePath = unit.node ? unit.nodePath : std::string();
  const std::wstring usb[] = {UnitName(unit.product), Hex4(MAKER_VENDOR_ID), Hex4(unit.product),
                              W(unit.hidDevice)};
  result.checks.push_back(
      Line("usb", Verdict::Ok, FormatWithTexts(texts.Text(IDS_DOCTOR_USB_SEEN), usb)));

  const std::wstring driver = unit.driver ? W(*unit.driver) : texts.Text(IDS_DOCTOR_DRIVER_NONE);
  if (!unit.hidraw || !unit.node) {
    result.checks.push_back(Line("driver", Verdict::Failed,
                                 FormatWithText(texts.Text(IDS_DOCTOR_DRIVER_UNBOUND), driver),
                                 FormatWithText(BIND_COMMAND, W(unit.hidDevice))));
    Fail(result, ExitStatus::NoUnit);
  } else {
    const std::wstring bound[] = {driver, W(unit.nodePath)};
    result.checks.push_back(
        Line("driver", Verdict::Ok, FormatWithTexts(texts.Text(IDS_DOCTOR_DRIVER_BOUND), bound)));
  }

  bool mayOpen = true;
  if (unit.node) {
    const std::wstring access[] = {W(unit.nodePath), W(unit.ownerName), W(unit.groupName),
                                   FileModeText(unit.node->mode), AclText(unit, texts)};
    mayOpen = MayOpen(unit, user);
    result.checks.push_back(Line("access", mayOpen ? Verdict::Ok : Verdict::Failed,
                                 FormatWithTexts(texts.Text(IDS_DOCTOR_ACCESS), access)));
    if (!mayOpen) {
      // Why, and the fix: the group the rule gives the node to, or the rule itself (below).
      const std::wstring denied[] = {W(user.name), W(unit.groupName)};
      std::wstring fix;
      if (unit.groupName == "plugdev") {
        const bool listed =
            facts.plugdev && std::find(facts.plugdev->members.begin(), facts.plugdev->members.end(),
                                       user.name) != facts.plugdev->members.end();
        fix = FormatWithText(texts.Text(listed ? IDS_DOCTOR_RELOGIN_FIX : IDS_DOCTOR_ADD_GROUP_FIX),
                             W(user.name));
      }
      result.checks.push_back(Line("access", Verdict::Failed,
                                   FormatWithTexts(texts.Text(IDS_DOCTOR_ACCESS_DENIED), denied),
                                   fix));
      Fail(result, ExitStatus::AccessDenied);
    }
  }

  // The rule matters where access is refused; a user who may open the node anyway (root, the
  // owner) is only warned.
  const Verdict ruleFault = mayOpen ? Verdict::Warning : Verdict::Failed;
  if (!facts.installedRule) {
    std::wstring looked;
    for (const std::string& rule : facts.ruleFiles) {
      looked += (looked.empty() ? L"" : L", ") + W(rule);
    }
    result.checks.push_back(Line("rule", ruleFault,
                                 FormatWithText(texts.Text(IDS_DOCTOR_RULE_MISSING), looked),
                                 texts.Text(IDS_DOCTOR_RULE_MISSING_FIX)));
  } else if (!unit.node) {
    result.checks.push_back(
        Line("rule", Verdict::Ok,
             FormatWithText(texts.Text(IDS_DOCTOR_RULE_INSTALLED), W(*facts.installedRule))));
  } else {
    const std::wstring rule[] = {W(*facts.installedRule), W(unit.nodePath)};
    const bool applied = RuleApplied(unit);
    result.checks.push_back(
        Line("rule", applied ? Verdict::Ok : ruleFault,
             FormatWithTexts(
                 texts.Text(applied ? IDS_DOCTOR_RULE_APPLIED : IDS_DOCTOR_RULE_NOT_APPLIED), rule),
             applied ? std::wstring() : std::wstring(RELOAD_COMMAND)));
  }

  if (unit.node) {
    if (unit.holders.empty()) {
      result.checks.push_back(
          Line("holder", Verdict::Ok,
               FormatWithText(texts.Text(IDS_DOCTOR_HOLDER_NONE), W(unit.nodePath))));
    }
    for (const auto& [pid, program] : unit.holders) {
      const std::wstring holder[] = {std::to_wstring(pid), W(program), W(unit.nodePath)};
      result.checks.push_back(
          Line("holder", Verdict::Failed, FormatWithTexts(texts.Text(IDS_DOCTOR_HOLDER), holder),
               FormatWithText(texts.Text(IDS_DOCTOR_HOLDER_FIX), std::to_wstring(pid))));
      Fail(result, ExitStatus::Busy);
    }
  }
  return result;
}

}  // namespace

std::vector<UnitChecks> JudgeSystem(const SystemFacts& facts, const UserFacts& user,
                                    const Catalogue& texts) {
  std::vector<UnitChecks> units;
  for (const UnitFacts& unit : facts.units) {
    units.push_back(JudgeUnit(unit, facts, user, texts));
  }
  if (units.empty()) {
    UnitChecks none;
    none.checks.push_back(
        Line("usb", Verdict::Failed,
             FormatWithText(texts.Text(IDS_DOCTOR_USB_NONE), Hex4(MAKER_VENDOR_ID)),
             texts.Text(IDS_DOCTOR_USB_FIX)));
    none.status = ExitStatus::NoUnit;
    units.push_back(std::move(none));
  }
  return units;
}
