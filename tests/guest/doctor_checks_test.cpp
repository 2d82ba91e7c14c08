// Judges pelora-update doctor as it ran in the guest (tests/guest/doctor-scenarios.sh): each
// condition made real on the kernel's hidraw and udev, named with its cause, its fix and the
// documented status, and the unit never sent more than its identification.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/guest/guest_results.h"

namespace guest {
namespace {

std::string Folder(const std::string& unit) {
  const char* folder = std::getenv("GUEST_RESULTS");
  return std::string(folder != nullptr ? folder : GUEST_RESULTS_DEFAULT) + "/" + unit;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == '\n') {
    text.pop_back();
  }
  return text;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// One doctor run: its status, and its checks by keyword (the last of a keyword wins).
struct DoctorRun {
  ProgramRun run;
  nlohmann::json report;
  std::map<std::string, nlohmann::json> checks;
};

DoctorRun ReadDoctor(const std::string& unit, const std::string& step) {
  DoctorRun doctor{ReadRun(Folder(unit), step), {}, {}};
  doctor.report = nlohmann::json::parse(doctor.run.out, nullptr, false);
  if (doctor.report.is_object() && doctor.report["units"].size() == 1) {
    for (const auto& check : doctor.report["units"][0]["checks"]) {
      doctor.checks[check["check"]] = check;
    }
  }
  return doctor;
}

std::string Describe(const DoctorRun& doctor) {
  return "status " +
         (doctor.run.status ? std::to_string(*doctor.run.status) : std::string("none")) +
         "\nstdout: " + doctor.run.out + "\nstderr: " + doctor.run.err;
}

std::string Verdict(DoctorRun& doctor, const std::string& key) {
  return doctor.checks.contains(key) ? doctor.checks[key]["verdict"].get<std::string>() : "absent";
}

std::string Fix(DoctorRun& doctor, const std::string& key) {
  const auto& fix = doctor.checks[key]["fix"];
  return fix.is_string() ? fix.get<std::string>() : "";
}

TEST(GuestDoctor, WithoutTheRuleNamesTheMissingRuleAndItsFix) {
  DoctorRun doctor = ReadDoctor("doctor-no-rule", "doctor");
  EXPECT_EQ(doctor.run.status, 4) << Describe(doctor);
  EXPECT_EQ(Verdict(doctor, "usb"), "ok") << Describe(doctor);
  EXPECT_EQ(Verdict(doctor, "access"), "failed");
  EXPECT_EQ(Verdict(doctor, "rule"), "failed");
  EXPECT_TRUE(Contains(Fix(doctor, "rule"), "install the pelora-update package"))
      << Describe(doctor);
  EXPECT_EQ(Verdict(doctor, "unit"), "skipped");
  EXPECT_TRUE(ReadTrace(Folder("doctor-no-rule")).empty()) << "nothing reaches the unit";
}

TEST(GuestDoctor, WithTheRuleAPlugdevMemberMayUpdate) {
  DoctorRun doctor = ReadDoctor("doctor-well", "well");
  EXPECT_EQ(doctor.run.status, 0) << Describe(doctor);
  for (const char* key : {"usb", "driver", "access", "rule", "holder", "unit"}) {
    EXPECT_EQ(Verdict(doctor, key), "ok") << key << "\n" << Describe(doctor);
  }
  EXPECT_EQ(doctor.report["updatable"], true);
  EXPECT_TRUE(Contains(doctor.checks["rule"]["text"], "was applied to")) << Describe(doctor);
}

TEST(GuestDoctor, AUserNotInPlugdevIsToldToJoinIt) {
  DoctorRun doctor = ReadDoctor("doctor-well", "outsider");
  EXPECT_EQ(doctor.run.status, 4) << Describe(doctor);
  EXPECT_EQ(Verdict(doctor, "access"), "failed");
  EXPECT_EQ(Fix(doctor, "access"), "sudo adduser outsider plugdev, then log out and in again")
      << Describe(doctor);
  EXPECT_EQ(Verdict(doctor, "rule"), "ok") << "the rule is there and applied";
}

TEST(GuestDoctor, AnotherProcessHoldingTheUnitIsNamedWithItsPid) {
  DoctorRun doctor = ReadDoctor("doctor-well", "held");
  const std::string pid = Trimmed(ReadText(Folder("doctor-well") + "/holder.pid"));
  EXPECT_EQ(doctor.run.status, 8) << Describe(doctor);
  EXPECT_EQ(Verdict(doctor, "holder"), "failed");
  EXPECT_TRUE(Contains(doctor.checks["holder"]["text"], "process " + pid + " (flock)"))
      << Describe(doctor);
  EXPECT_TRUE(Fix(doctor, "holder").ends_with("kill " + pid)) << Describe(doctor);
  EXPECT_EQ(Verdict(doctor, "unit"), "skipped");
}

TEST(GuestDoctor, AnUnboundDriverIsNamedAndItsFixBindsItAgain) {
  const std::string hid = Trimmed(ReadText(Folder("doctor-well") + "/hid"));
  DoctorRun unbound = ReadDoctor("doctor-well", "unbound");
  EXPECT_EQ(unbound.run.status, 3) << Describe(unbound);
  EXPECT_EQ(Verdict(unbound, "usb"), "ok");
  EXPECT_EQ(Verdict(unbound, "driver"), "failed");
  EXPECT_EQ(Fix(unbound, "driver"),
            "echo " + hid + " | sudo tee /sys/bus/hid/drivers/hid-generic/bind");
  DoctorRun rebound = ReadDoctor("doctor-well", "rebound");
  EXPECT_EQ(rebound.run.status, 0) << Describe(rebound);
}

TEST(GuestDoctor, TheWrongModeIsFoundByIdentificationAlone) {
  DoctorRun doctor = ReadDoctor("doctor-wrong-mode", "wrong-mode");
  EXPECT_EQ(doctor.run.status, 5) << Describe(doctor);
  EXPECT_EQ(Verdict(doctor, "unit"), "failed");
  EXPECT_TRUE(Contains(doctor.checks["unit"]["text"], "wrong mode")) << Describe(doctor);
  const ProgramRun text = ReadRun(Folder("doctor-wrong-mode"), "text");
  EXPECT_EQ(text.status, 5);
  EXPECT_TRUE(Contains(text.out, "FAILED   unit: ")) << text.out;
  // Two runs, an identification each (at most three requests apiece), nothing that changes the
  // unit.
  const std::size_t requests = ReadTrace(Folder("doctor-wrong-mode")).size();
  EXPECT_GE(requests, 2u);
  EXPECT_LE(requests, 6u);
}

}  // namespace
}  // namespace guest
