// pelora-update doctor over a system tree of the test's making (sysfs, /proc, /dev, /etc, the
// udev rule and database) and the simulated unit: each cause named with its fix and status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/doctor/doctor_checks.h"
#include "cli/doctor/system_facts.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/sim_units.h"

namespace {

namespace fs = std::filesystem;
using sim::UnitConfig;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

constexpr char kDevice[] = "0003:1209:0002.0001";
constexpr char kNode[] = "/dev/hidraw0";
constexpr char kRule[] = "/usr/lib/udev/rules.d/70-pelora-update.rules";

// A machine as doctor reads it, built below a temporary root: by default one MAVIRA bound to
// hid-generic, its node given to plugdev (0660) by the installed and applied rule, and the user
// alice in plugdev.
struct Machine {
  bool unitOnUsb = true;
  bool bound = true;
  bool ruleInstalled = true;
  bool ruleApplied = true;  // the udev database tags the node for uaccess
  mode_t nodeMode = 0660;
  bool nodeInPlugdev = true;
  bool sessionInPlugdev = true;  // the groups of the running session
  bool listedInPlugdev = true;   // /etc/group's members
  bool held = false;             // a flock by process 4242 (pelora-update) on the node
};

class DoctorTest : public CliTest {
 protected:
  DoctorTest() {
    char name[] = "/tmp/pelora-doctor-XXXXXX";
    EXPECT_NE(mkdtemp(name), nullptr);
    root_ = name;
  }
  ~DoctorTest() override { fs::remove_all(root_); }

  void Write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(root_ + path).parent_path());
    std::ofstream(root_ + path) << text;
  }

  void Build(const Machine& m) {
    const gid_t myGroup = getgid();
    const gid_t otherGroup = myGroup + 1000;
    const std::string plugdev = std::to_string(m.nodeInPlugdev ? myGroup : otherGroup);
    const std::string root = std::to_string(m.nodeInPlugdev ? otherGroup : myGroup);
    // The node's owner is whoever runs the test; alice is someone else.
    Write("/etc/passwd", "owner:x:" + std::to_string(getuid()) + ":100::/home/owner:/bin/sh\n");
    Write("/etc/group", "root:x:" + root + ":\nplugdev:x:" + plugdev + ":" +
                            (m.listedInPlugdev ? "alice" : "bob") + "\n");
    if (m.ruleInstalled) {
      Write(kRule, "SUBSYSTEM==\"hidraw\"\n");
    }
    const std::string device = "/sys/bus/hid/devices/" + std::string(kDevice);
    if (m.unitOnUsb) {
      Write(device + "/uevent", "DRIVER=hid-generic\n");
      // Another maker's device, which doctor must pass over.
      Write("/sys/bus/hid/devices/0003:046D:C077.0002/uevent", "");
    }
    if (m.unitOnUsb && m.bound) {
      Write("/sys/bus/hid/drivers/hid-generic/bind", "");
      fs::create_directory_symlink("../../../bus/hid/drivers/hid-generic",
                                   root_ + device + "/driver");
      Write(device + "/hidraw/hidraw0/dev", "243:0\n");
      Write(kNode, "");
      fs::permissions(root_ + kNode, static_cast<fs::perms>(m.nodeMode));
      Write("/run/udev/data/c243:0", m.ruleApplied ? "I:1\nG:uaccess\nQ:uaccess\n" : "I:1\n");
      struct stat node {};
      EXPECT_EQ(::stat((root_ + kNode).c_str(), &node), 0);
      char lock[160];
      std::snprintf(lock, sizeof lock, "1: FLOCK  ADVISORY  WRITE 4242 %02x:%02x:%lu 0 EOF\n",
                    major(node.st_dev), minor(node.st_dev),
                    static_cast<unsigned long>(node.st_ino));
      Write("/proc/locks", m.held ? std::string("1: POSIX  ADVISORY  WRITE 17 00:01:5 0 EOF\n") +
                                        "2: -> FLOCK  ADVISORY  WRITE 99 00:01:5 0 EOF\n" + lock
                                  : std::string());
      Write("/proc/4242/comm", "pelora-update\n");
    }
    UserFacts user;
    // Not the node's owner (the test's own uid owns the files), so group and ACL decide.
    user.uid = getuid() + 1000;
    user.name = "alice";
    user.groups = {static_cast<gid_t>(m.sessionInPlugdev ? myGroup : otherGroup + 1)};
    system.emplace(root_, user);
  }

  std::string root_;
};

struct CauseCase {
  const char* name;
  std::function<void(Machine&)> change;
  UnitConfig unit;
  int status;
  std::vector<std::string> said;  // each on the output, in English
};

class DoctorCause : public DoctorTest, public ::testing::WithParamInterface<CauseCase> {};

TEST_P(DoctorCause, NamesTheCauseItsFixAndTheStatus) {
  const CauseCase& c = GetParam();
  Machine machine;
  c.change(machine);
  Build(machine);
  auto unit = Plug(kNode, c.unit);

  EXPECT_EQ(Run({"doctor"}), c.status) << console.out;
  for (const std::string& part : c.said) {
    EXPECT_TRUE(Contains(console.out, part)) << part << "\n" << console.out;
  }
  EXPECT_TRUE(console.out.ends_with(
      (c.status == 0 ? T(IDS_DOCTOR_CAN_UPDATE) : T(IDS_DOCTOR_CANNOT_UPDATE)) + "\n"));
  // Identification at most (its three requests): doctor never changes the unit.
  EXPECT_LE(unit->requests().size(), 3u);
  EXPECT_EQ(transport.openHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, DoctorCause,
    ::testing::Values(
        CauseCase{"AllWell",
                  [](Machine&) {},
                  {},
                  0,
                  {"ok       USB: MAVIRA (vendor 1209, product 0002) is connected as " +
                       std::string(kDevice),
                   "ok       driver: hid-generic gives it the node /dev/hidraw0",
                   "ok       access: /dev/hidraw0 belongs to owner:plugdev, mode -rw-rw----",
                   "ok       udev rule: " + std::string(kRule) +
                       " is installed and was applied to /dev/hidraw0",
                   "ok       in use: no other process holds /dev/hidraw0",
                   "ok       unit: /dev/hidraw0  MAVIRA 1.2  ESC-bootloader 1.5  ESC 3.2  ready"}},
        CauseCase{"NoUnitOnUsb",
                  [](Machine& m) { m.unitOnUsb = false; },
                  {},
                  3,
                  {"FAILED   USB: no programming unit (vendor 1209, product 0001 or 0002)",
                   "fix: connect the programming unit"}},
        CauseCase{"DriverUnbound",
                  [](Machine& m) { m.bound = false; },
                  {},
                  3,
                  {"FAILED   driver: it has no hidraw node, the HID driver is not bound to it "
                   "(driver: none)",
                   "fix: echo " + std::string(kDevice) +
                       " | sudo tee /sys/bus/hid/drivers/hid-generic/bind",
                   "skipped  unit: not identified"}},
        CauseCase{"NotInPlugdev",
                  [](Machine& m) {
                    m.sessionInPlugdev = false;
                    m.listedInPlugdev = false;
                  },
                  {},
                  4,
                  {"FAILED   access: alice may not open it",
                   "fix: sudo adduser alice plugdev, then log out and in again",
                   "ok       udev rule:", "skipped  unit:"}},
        CauseCase{"AddedToPlugdevAfterLogin",
                  [](Machine& m) { m.sessionInPlugdev = false; },
                  {},
                  4,
                  {"fix: log out and in again: alice was added to plugdev after this session"}},
        CauseCase{"NoRule",
                  [](Machine& m) {
                    m.ruleInstalled = false;
                    m.ruleApplied = false;
                    m.nodeInPlugdev = false;
                    m.nodeMode = 0600;
                  },
                  {},
                  4,
                  {"FAILED   access: /dev/hidraw0 belongs to owner:root, mode -rw-------",
                   "FAILED   udev rule: not installed (looked for " + std::string(kRule),
                   "fix: install the pelora-update package"}},
        CauseCase{"RuleNotApplied",
                  [](Machine& m) {
                    m.ruleApplied = false;
                    m.nodeInPlugdev = false;
                    m.nodeMode = 0600;
                  },
                  {},
                  4,
                  {"FAILED   udev rule: " + std::string(kRule) +
                       " is installed, but udev has not applied it to /dev/hidraw0 yet",
                   "fix: sudo udevadm control --reload && sudo udevadm trigger "
                   "--subsystem-match=hidraw"}},
        CauseCase{
            "HeldByAnotherProcess",
            [](Machine& m) { m.held = true; },
            {},
            8,
            {"FAILED   in use: process 4242 (pelora-update) holds /dev/hidraw0",
             "fix: let that program finish its update, or end it: kill 4242", "skipped  unit:"}},
        CauseCase{"UnitInTheWrongMode",
                  [](Machine&) {},
                  sim_units::With([](UnitConfig& u) { u.unitMode = 2; }),
                  5,
                  {"FAILED   unit: /dev/hidraw0  MAVIRA", "wrong mode"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DoctorTest, WrongModeFixIsTheDialogsGuidance) {
  Build({});
  Plug(kNode, sim_units::With([](UnitConfig& u) { u.unitMode = 2; }));
  EXPECT_EQ(Run({"doctor"}), 5);
  EXPECT_TRUE(Contains(console.out, "fix: " + T(IDS_WRONG_MODE))) << console.out;
  // Then the connection instructions it ends on, each line in the column of the texts.
  const std::string instructions = T(IDS_CLI_INSTRUCTIONS);
  EXPECT_TRUE(Contains(console.out, T(IDS_WRONG_MODE) + "\n         " +
                                        instructions.substr(0, instructions.find('\n'))))
      << console.out;
}

TEST_F(DoctorTest, JsonCarriesEveryCheckForScripts) {
  Machine machine;
  machine.held = true;
  Build(machine);
  Plug(kNode);
  EXPECT_EQ(Run({"doctor", "--json"}), 8);
  const auto json = nlohmann::json::parse(console.out);
  EXPECT_EQ(json["status"], 8);
  EXPECT_EQ(json["updatable"], false);
  ASSERT_EQ(json["units"].size(), 1u);
  const auto& unit = json["units"][0];
  EXPECT_EQ(unit["hid_device"], kDevice);
  EXPECT_EQ(unit["node"], kNode);
  std::vector<std::string> keys, verdicts;
  for (const auto& check : unit["checks"]) {
    keys.push_back(check["check"]);
    verdicts.push_back(check["verdict"]);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"usb", "driver", "access", "rule", "holder", "unit"}));
  EXPECT_EQ(verdicts, (std::vector<std::string>{"ok", "ok", "ok", "ok", "failed", "skipped"}));
  EXPECT_EQ(unit["checks"][4]["fix"], "let that program finish its update, or end it: kill 4242");
  EXPECT_TRUE(unit["checks"][0]["fix"].is_null());
}

TEST_F(DoctorTest, SpeaksGerman) {
  UseLanguage(Language::German);
  Machine machine;
  machine.sessionInPlugdev = false;
  machine.listedInPlugdev = false;
  Build(machine);
  Plug(kNode);
  EXPECT_EQ(Run({"doctor"}), 4);
  EXPECT_TRUE(Contains(console.out, "FEHLER        Zugriff: alice darf ihn nicht öffnen"))
      << console.out;
  EXPECT_TRUE(Contains(console.out, "Abhilfe: sudo adduser alice plugdev, dann ab- und wieder"));
}

// The seat's user gets the node through an ACL entry (uaccess), whatever the groups.
TEST(DoctorJudge, AnAclEntryForTheUserGivesAccessUnlessTheMaskTakesIt) {
  SystemFacts facts;
  facts.installedRule = kRule;
  UnitFacts unit;
  unit.hidDevice = kDevice;
  unit.product = 2;
  unit.driver = "hid-generic";
  unit.hidraw = "hidraw0";
  unit.nodePath = kNode;
  unit.node = FileFacts{0, 46, S_IFCHR | 0660, 5, 100};
  unit.groupName = "plugdev";
  UserFacts user{1000, {1000}, "alice"};
  const TableCatalogue texts(Language::English);
  struct AclCase {
    std::vector<AclEntry> acl;
    Verdict access;
  };
  for (const AclCase& c :
       {AclCase{{}, Verdict::Failed},
        AclCase{{{1, 6, 0}, {ACL_TAG_USER, 6, 1000}, {4, 6, 0}, {0x10, 6, 0}, {0x20, 0, 0}},
                Verdict::Ok},
        AclCase{{{ACL_TAG_USER, 6, 1001}}, Verdict::Failed},
        AclCase{{{ACL_TAG_USER, 6, 1000}, {0x10, 4, 0}}, Verdict::Failed},
        AclCase{{{ACL_TAG_GROUP, 6, 1000}}, Verdict::Ok}}) {
    unit.acl = c.acl;
    facts.units = {unit};
    const auto judged = JudgeSystem(facts, user, texts);
    ASSERT_EQ(judged.size(), 1u);
    EXPECT_EQ(judged[0].checks[2].verdict, c.access) << c.acl.size();
  }
}

TEST(DoctorFacts, ParsersTakeWhatIsWellFormedAndSkipTheRest) {
  const auto locks = ParseProcLocks(
      "1: FLOCK  ADVISORY  WRITE 812 00:05:1071 0 EOF\n"
      "1: -> FLOCK  ADVISORY  WRITE 813 00:05:1071 0 EOF\n"
      "2: POSIX  ADVISORY  READ 77 fd:01:99 0 EOF\n"
      "garbage\n"
      "3: FLOCK  ADVISORY  WRITE x 00:05:1 0 EOF\n"
      "4: FLOCK  ADVISORY  WRITE 9 00:05 0 EOF\n"
      "5: FLOCK  ADVISORY  WRITE 10 00:05:1");  // truncated, still whole enough
  ASSERT_EQ(locks.size(), 3u);
  EXPECT_EQ(locks[0].pid, 812);
  EXPECT_EQ(locks[0].inode, 1071u);
  EXPECT_EQ(locks[1].major, 0xfdu);
  EXPECT_EQ(locks[1].minor, 1u);
  EXPECT_EQ(locks[2].pid, 10);

  const std::vector<std::uint8_t> acl = {2, 0, 0, 0, 2, 0, 6, 0, 0xe8, 3, 0, 0};
  const auto entries = ParsePosixAcl(acl);
  ASSERT_TRUE(entries.has_value());
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].id, 1000u);
  EXPECT_FALSE(ParsePosixAcl(std::vector<std::uint8_t>{2, 0, 0, 0, 2, 0, 6}).has_value());
  EXPECT_FALSE(ParsePosixAcl(std::vector<std::uint8_t>{1, 0, 0, 0}).has_value());
  EXPECT_FALSE(ParsePosixAcl(std::vector<std::uint8_t>{2}).has_value());

  EXPECT_TRUE(ParseHidDeviceName("0003:1209:0002.0001").has_value());
  for (const char* bad : {"", "0003:1209:0002", "0003:1209:0002.", "0003-1209:0002.0001",
                          "0003:12G9:0002.0001", "0003:1209:0002.00x1"}) {
    EXPECT_FALSE(ParseHidDeviceName(bad).has_value()) << bad;
  }
  EXPECT_EQ(ParseUdevTags("I:5\nG:uaccess\nQ:seat\nE:ID=1\n"),
            (std::vector<std::string>{"uaccess", "seat"}));
  const auto groups = ParseGroupFile("plugdev:x:46:alice,bob\nbroken\nempty:x:7:\n:x:1:\n");
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].members, (std::vector<std::string>{"alice", "bob"}));
  EXPECT_TRUE(groups[1].members.empty());
}

}  // namespace
