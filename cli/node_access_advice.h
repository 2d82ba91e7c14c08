#pragma once

#include <string>
#include <vector>

#include "cli/cli_context.h"

// What a user refused a unit's node can do, told from the system as it is: the node's owner,
// group and mode (stat), and whether a udev rule for the units is installed where udev reads
// rules.
class NodeAccessAdvice final : public AccessAdvice {
 public:
  // `ruleFiles`: where the rule is installed when it is (the package's place, the admin's).
  explicit NodeAccessAdvice(std::vector<std::string> ruleFiles)
      : ruleFiles_(std::move(ruleFiles)) {}
  std::wstring Explain(const std::string& path, const Catalogue& texts) const override;

 private:
  std::vector<std::string> ruleFiles_;
};
