// HidapiTransport and the unit link, in a real program linked against libhidapi-hidraw.so.0,
// with the stand-in library loaded in its place and the simulated units served by the bus.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/result_code.h"
#include "protocol/unit_report.h"
#include "sim/report_descriptor.h"
#include "tests/hidapi_standin/driver/child_process.h"
#include "tests/hidapi_standin/driver/standin_bus.h"
#include "tests/hidapi_standin/probe/probe_block.h"
#include "tests/support/named_cases.h"

namespace {

using namespace std::chrono_literals;
using named_cases::PrintTo;
using sim::DevicePlan;
using standin::ProgramResult;
using standin::StandinLibrary;

// One printed line's key=value fields; a key the line lacks reads as "(missing)".
struct Fields {
  std::map<std::string, std::string> values;
  std::string operator[](const std::string& key) const {
    const auto it = values.find(key);
    return it == values.end() ? "(missing)" : it->second;
  }
};

// The lines the probe printed for one kind of step ("open", "failure", ...), as key=value maps.
std::vector<Fields> Lines(const ProgramResult& result, const std::string& kind) {
  std::vector<Fields> lines;
  std::istringstream text(result.out);
  for (std::string line; std::getline(text, line);) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word != kind) {
      continue;
    }
    Fields fields;
    while (words >> word) {
      const std::size_t equals = word.find('=');
      fields.values[word.substr(0, equals)] =
          equals == std::string::npos ? "" : word.substr(equals + 1);
    }
    lines.push_back(fields);
  }
  return lines;
}

Fields Line(const ProgramResult& result, const std::string& kind) {
  const std::vector<Fields> lines = Lines(result, kind);
  EXPECT_EQ(lines.size(), 1u) << "lines of kind " << kind << " in:\n" << result.out;
  return lines.empty() ? Fields{} : lines.front();
}

std::string Number(long value) {
  return std::to_string(value);
}

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

DevicePlan OtherDevice() {
  DevicePlan plan;
  plan.vendorId = 0x046D;
  plan.productId = 0xC31C;
  plan.isUnit = false;
  return plan;
}

DevicePlan Unit(std::uint16_t productId = 2) {
  DevicePlan plan;
  plan.productId = productId;
  return plan;
}

class HidapiThroughStandin : public ::testing::Test {
 protected:
  void TearDown() override {
    // No report of the wrong length, no request to a device that is not a unit.
    EXPECT_EQ(bus.Problems(), std::vector<std::string>{});
  }

  ProgramResult Probe(std::vector<std::string> arguments,
                      StandinLibrary library = StandinLibrary::Current) {
    arguments.insert(arguments.begin(), HIDAPI_PROBE);
    const ProgramResult result =
        standin::RunProgram({arguments, bus.ProgramEnvironment(library), 30s});
    EXPECT_TRUE(result.exited && result.exitCode == 0)
        << "exit " << result.exitCode << ", signal " << result.signal << "\n"
        << result.out << result.err;
    return result;
  }

  std::vector<std::uint8_t> CommandsSent(const std::string& path) {
    std::vector<std::uint8_t> commands;
    for (const sim::RecordedRequest& request : bus.Requests(path)) {
      commands.push_back(request.bytes.size() > 1 ? request.bytes[1] : 0);
    }
    return commands;
  }

  standin::StandinBus bus;
};

const std::vector<std::uint8_t> kIdentifySequence = {CMD_IDENTIFY, CMD_READ_ESC_INFO,
                                                     CMD_READ_ESC_BOOT_INFO};

TEST_F(HidapiThroughStandin, OpensTheFirstUnitThatOpensListsEachUnitOnceAndOpensNothingElse) {
  const std::string other = bus.Plug(OtherDevice());
  DevicePlan denied = Unit(1);
  denied.accessDenied = true;
  const std::string deniedPath = bus.Plug(denied);
  DevicePlan busy = Unit(2);
  busy.busy = true;
  const std::string busyPath = bus.Plug(busy);
  DevicePlan first = Unit(1);
  first.collections = 2;  // listed twice by enumeration, one node all the same
  const std::string firstPath = bus.Plug(first);
  const std::string secondPath = bus.Plug(Unit(2));

  const ProgramResult result = Probe({"version", "list", "open"});

  EXPECT_NE(result.out.find("version 0.14.0\n"), std::string::npos) << "no stand-in loaded";
  const std::vector<Fields> units = Lines(result, "unit");
  ASSERT_EQ(units.size(), 4u) << result.out;
  EXPECT_EQ(units[0]["path"], deniedPath);
  EXPECT_EQ(units[1]["path"], busyPath);
  EXPECT_EQ(units[2]["path"], firstPath);
  EXPECT_EQ(units[2]["pid"], "1");
  EXPECT_EQ(units[3]["path"], secondPath);

  Fields open = Line(result, "open");
  EXPECT_EQ(open["result"], "0");
  EXPECT_EQ(open["path"], firstPath);
  EXPECT_EQ(open["pid"], "1");
  const std::vector<Fields> failures = Lines(result, "failure");
  ASSERT_EQ(failures.size(), 2u) << result.out;
  EXPECT_EQ(failures[0]["path"], deniedPath);
  EXPECT_EQ(failures[0]["errno"], Number(EACCES));
  EXPECT_EQ(failures[0]["denied"], "1");
  EXPECT_EQ(failures[1]["path"], busyPath);
  EXPECT_EQ(failures[1]["errno"], Number(EBUSY));
  EXPECT_EQ(failures[1]["denied"], "0");

  EXPECT_EQ(CommandsSent(firstPath), kIdentifySequence);
  EXPECT_EQ(bus.OpensGranted(other), 0);
  EXPECT_EQ(bus.OpensGranted(secondPath), 0);
  EXPECT_TRUE(bus.Requests(secondPath).empty());
}

struct LengthCase {
  const char* name;
  void (*configure)(DevicePlan&);
  StandinLibrary library;
  bool sysfsEntry;  // the fake sysfs tree holds the node's descriptor (built from the lengths)
  ResultCode result;
  int osError;          // the OS error carried with the result: why the lengths were not learned
  std::uint32_t input;  // the lengths the link holds afterwards (0: never learned)
  std::uint32_t output;
};

class ReportLengths : public HidapiThroughStandin,
                      public ::testing::WithParamInterface<LengthCase> {};

TEST_P(ReportLengths, ComeFromTheDescriptorAndUnlearnableOnesRefuseTheUnit) {
  const LengthCase& c = GetParam();
  DevicePlan plan = Unit();
  c.configure(plan);
  const std::string path = bus.Plug(plan);

  // A fake /sys/class/hidraw for the library without hid_get_report_descriptor.
  const std::filesystem::path sysfs =
      std::filesystem::path(bus.socketPath()).parent_path() / "sysfs";
  const std::string node = path.substr(path.rfind('/') + 1);
  std::filesystem::create_directories(sysfs / node / "device");
  if (c.sysfsEntry) {
    const std::vector<std::uint8_t> descriptor =
        sim::BuildReportDescriptor(plan.inputReportLength, plan.outputReportLength);
    std::ofstream(sysfs / node / "device" / "report_descriptor", std::ios::binary)
        .write(reinterpret_cast<const char*>(descriptor.data()),
               static_cast<std::streamsize>(descriptor.size()));
  }

  const ProgramResult result = Probe({"--sysfs-root", sysfs.string(), "open"}, c.library);
  std::filesystem::remove_all(sysfs);

  Fields open = Line(result, "open");
  EXPECT_EQ(open["result"], Number(c.result));
  EXPECT_EQ(open["errno"], Number(c.osError));
  EXPECT_EQ(open["in"], Number(c.input));
  EXPECT_EQ(open["out"], Number(c.output));
  if (c.result != RESULT_OK) {
    EXPECT_TRUE(bus.Requests(path).empty());
    return;
  }
  // Identified with every request at exactly the output report length.
  const sim::UnitConfig unit;
  EXPECT_EQ(open["state"], Number(unit.escState));
  EXPECT_EQ(open["unit"], Hex(unit.unitVersion, 8));
  EXPECT_EQ(open["fw"], Hex(unit.escFirmwareVersion, 4));
  EXPECT_EQ(open["type"], Hex(unit.escTypeId, 8));
  EXPECT_EQ(open["boot"], Hex(unit.escBootloaderVersion, 8));
  EXPECT_EQ(CommandsSent(path), kIdentifySequence);
  for (const sim::RecordedRequest& request : bus.Requests(path)) {
    EXPECT_EQ(request.bytes.size(), c.output);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReportLengths,
    ::testing::Values(
        LengthCase{"descriptor_65_65", [](DevicePlan&) {}, StandinLibrary::Current, false,
                   RESULT_OK, 0, 65, 65},
        LengthCase{"descriptor_odd_48_in_61_out",
                   [](DevicePlan& p) {
                     p.inputReportLength = 48;
                     p.outputReportLength = 61;
                   },
                   StandinLibrary::Current, false, RESULT_OK, 0, 48, 61},
        LengthCase{"hidapi_0_13_reads_sysfs",
                   [](DevicePlan& p) {
                     p.inputReportLength = 57;
                     p.outputReportLength = 64;
                     p.descriptorReadable = false;  // proves the library call is not used
                   },
                   StandinLibrary::Hidapi013, true, RESULT_OK, 0, 57, 64},
        LengthCase{"hidapi_0_13_without_sysfs_entry", [](DevicePlan&) {}, StandinLibrary::Hidapi013,
                   false, RESULT_NO_DEVICE, ENOENT, 0, 0},
        LengthCase{"descriptor_unreadable", [](DevicePlan& p) { p.descriptorReadable = false; },
                   StandinLibrary::Current, false, RESULT_NO_DEVICE, EIO, 0, 0},
        LengthCase{"descriptor_garbage",
                   [](DevicePlan& p) {
                     p.descriptor = std::vector<std::uint8_t>{0x06, 0x00, 0xFF, 0xA1, 0x01, 0x97};
                   },
                   StandinLibrary::Current, false, RESULT_NO_DEVICE, EBADMSG, 0, 0},
        LengthCase{"input_report_too_short_for_the_protocol",
                   [](DevicePlan& p) { p.inputReportLength = MIN_INPUT_REPORT_LENGTH - 1; },
                   StandinLibrary::Current, false, RESULT_NO_DEVICE, 0, MIN_INPUT_REPORT_LENGTH - 1,
                   65}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HidapiThroughStandin, WritesABlockThatLandsInTheUnitsFlash) {
  const std::string path = bus.Plug(Unit());
  const ProgramResult result = Probe({"open", "flash"});
  Fields flash = Line(result, "flash");
  for (const char* step : {"lock", "unprotect", "erase", "address", "block"}) {
    EXPECT_EQ(flash[step], "0") << step;
  }
  constexpr std::array<std::uint8_t, 56> block = ProbeBlock();
  EXPECT_EQ(bus.Flash(path), std::vector<std::uint8_t>(block.begin(), block.end()));
  bus.WithUnit(path, [](sim::SimulatedUnit& unit) { EXPECT_TRUE(unit.locked()); });
}

TEST_F(HidapiThroughStandin, ASilentUnitFailsTheReadAfterTheTenSecondTimeOut) {
  DevicePlan plan = Unit();
  plan.faults.push_back({CMD_IDENTIFY, 1, sim::FaultKind::Silent});
  const std::string path = bus.Plug(plan);

  const ProgramResult result = Probe({"open"});

  Fields open = Line(result, "open");
  EXPECT_EQ(open["result"], Number(RESULT_READ_FAILED));
  EXPECT_EQ(open["errno"], Number(ETIMEDOUT));
  EXPECT_GE(result.elapsed, 10s);
  EXPECT_EQ(CommandsSent(path), std::vector<std::uint8_t>{CMD_IDENTIFY});
}

TEST_F(HidapiThroughStandin, UnplugWhileOpenFailsTheNextWriteAndPlugsShowWhileRunning) {
  const std::string first = bus.Plug(Unit(1));
  standin::ChildProcess probe(
      {{HIDAPI_PROBE, "open", "wait", "lock", "list"}, bus.ProgramEnvironment(), 30s});
  ASSERT_TRUE(probe.WaitForOutput("waiting", 20s)) << probe.OutputSoFar();
  EXPECT_EQ(bus.OpenConnections(first), 1);

  bus.Unplug(first);
  EXPECT_EQ(CommandsSent(first), kIdentifySequence);
  // The kernel gives the next node the lowest free number: the same path, another unit.
  const std::string second = bus.Plug(Unit(2));
  EXPECT_EQ(second, first);
  probe.Input("\n");
  const ProgramResult result = probe.Finish();

  EXPECT_EQ(Line(result, "open")["result"], "0");
  Fields lock = Line(result, "lock");
  EXPECT_EQ(lock["result"], Number(RESULT_WRITE_FAILED));
  EXPECT_EQ(lock["errno"], Number(ENODEV));
  const std::vector<Fields> units = Lines(result, "unit");
  ASSERT_EQ(units.size(), 1u) << result.out;
  EXPECT_EQ(units[0]["path"], second);
  EXPECT_EQ(units[0]["pid"], "2");
  EXPECT_TRUE(bus.Requests(second).empty());
  EXPECT_EQ(bus.OpenConnections(second), 0);
}

TEST_F(HidapiThroughStandin, PermissionDeniedIsReportedWithThePathUntilTheNodeIsOpened) {
  DevicePlan plan = Unit();
  plan.accessDenied = true;
  const std::string path = bus.Plug(plan);

  ProgramResult result = Probe({"open", "open-path=" + path});
  EXPECT_EQ(Line(result, "open")["result"], Number(RESULT_NOT_FOUND));
  EXPECT_EQ(Line(result, "open-path")["result"], Number(RESULT_NOT_FOUND));
  std::vector<Fields> failures = Lines(result, "failure");
  ASSERT_EQ(failures.size(), 2u) << result.out;
  for (const Fields& failure : failures) {
    EXPECT_EQ(failure["path"], path);
    EXPECT_EQ(failure["errno"], Number(EACCES));
    EXPECT_EQ(failure["denied"], "1");
  }
  EXPECT_TRUE(bus.Requests(path).empty());

  bus.SetPermissionDenied(path, false);  // the udev rule is in place now
  result = Probe({"open"});
  EXPECT_EQ(Line(result, "open")["result"], "0");
  EXPECT_TRUE(Lines(result, "failure").empty());
}

TEST_F(HidapiThroughStandin, ADevicePathSelectsThatUnitAndNothingElseOpens) {
  const std::string other = bus.Plug(OtherDevice());
  const std::string first = bus.Plug(Unit(1));
  const std::string second = bus.Plug(Unit(2));

  const ProgramResult result =
      Probe({"--device", second, "open", "close", "open-path=" + other, "open-path=/dev/hidraw99"});

  Fields open = Line(result, "open");
  EXPECT_EQ(open["result"], "0");
  EXPECT_EQ(open["path"], second);
  EXPECT_EQ(open["pid"], "2");
  for (const Fields& openPath : Lines(result, "open-path")) {
    EXPECT_EQ(openPath["result"], Number(RESULT_NOT_FOUND));
  }
  EXPECT_TRUE(Lines(result, "failure").empty());
  EXPECT_EQ(bus.OpensGranted(first), 0);
  EXPECT_EQ(bus.OpensGranted(other), 0);
  EXPECT_EQ(CommandsSent(second), kIdentifySequence);
}

}  // namespace
