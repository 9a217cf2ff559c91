// The probe is how the program is checked from outside: its outputs are a contract.
#include <gtest/gtest.h>

#include "HexBytes.h"
#include "ProbeRun.h"
#include "TestSupport.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
using qlwtest::ProbeRun;
using qlwtest::Slurp;

ProbeRun Probe(const std::string& args, bool withErrors = false) {
  return qlwtest::RunShell(qlwtest::ProbeCommand(args) + (withErrors ? " 2>&1" : " 2>/dev/null"));
}

std::string Example() { return std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif"; }
}  // namespace

TEST(Probe, PrintsExactTexts) {
  const struct {
    std::string args, expected;
  } cases[] = {
      {"version-pack 1 2 3 b 4", "0x01020384\n1.2.3b4\n"},
      {"exception 20481 1 5", "Internal Error\nAn unknown error (   5) has occurred.\n\n5001:0005\n"},
      {"string 1204", "A system error (^0) has occurred.\n"},
      {"identify " + Example(), "22\n"},
  };
  for (const auto& c : cases) {
    const ProbeRun run = Probe(c.args);
    EXPECT_EQ(run.status, 0) << c.args;
    EXPECT_EQ(run.out, c.expected) << c.args;
  }
}

TEST(Probe, RefusesWhatItCannotDo) {
  for (const std::string args : {"string 99999", "read /nonexistent/structure.cif", "no-such-command", "version-pack 300 2 3 b 4"}) {
    const ProbeRun run = Probe(args);
    EXPECT_NE(run.status, 0) << args;
    EXPECT_EQ(run.out, "") << args;
  }
}

TEST(Probe, ListsTheExampleReflexionsAsCsv) {
  const ProbeRun run = Probe("refl " + Example() + " --no-adp --lambda 1.5405 --max 2");
  ASSERT_EQ(run.status, 0);
  // Rutile's two strongest low-angle lines, strongest first; 0 1 1 at its published relative intensity.
  EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), "h,k,l,d,mult,F2,position,intensity,relative\n");
  EXPECT_NE(run.out.find("\n1,1,0,3.248236,4,"), std::string::npos);
  EXPECT_NE(run.out.find("\n0,1,1,2.487413,8,598.465,"), std::string::npos);
}

TEST(Probe, NeutronStructureFactorOfOneAtomIsItsPublishedLengthSquared) {
  // One atom at the origin: every F2 is b². Cd absorbs strongly; its real part is 4.87 fm.
  const std::string path = qlwtest::ScratchDir() + "/probe-cd.cif";
  std::ofstream(path) << "data_cd\n_cell_length_a 4\n_cell_length_b 4\n_cell_length_c 4\n"
                         "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
                         "_symmetry_space_group_name_H-M 'P 1'\n"
                         "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n"
                         "_atom_site_fract_y\n_atom_site_fract_z\nCd1 Cd 0 0 0\n";
  const ProbeRun run = Probe("refl " + path + " --radiation neutron --no-adp --max 3");
  ASSERT_EQ(run.status, 0);
  size_t rows = 0;
  for (size_t at = run.out.find('\n'); at != std::string::npos && at + 1 < run.out.size(); at = run.out.find('\n', at + 1)) {
    // h,k,l,d,mult,F2,...
    size_t field = at + 1;
    for (int i = 0; i < 5; ++i) field = run.out.find(',', field) + 1;
    EXPECT_NEAR(std::stod(run.out.substr(field)), 4.87 * 4.87, 1e-4) << run.out;
    ++rows;
  }
  EXPECT_EQ(rows, 3u) << run.out;
}

TEST(Probe, ReadersWarningsGoToStandardErrorAndTheOutputStaysAsItWas) {
  const std::string path = qlwtest::ScratchDir() + "/probe-lacking-z.lxtx";
  std::ofstream(path) << "TITL  rutile\nCELL  4.5937 4.5937 2.9587  90 90 90\nSPGR  P 42/m n m\nATOM\n"
                         "Ti  Ti1  0 0 0\nO  O1  0.3048 0.3048\n";
  const std::string errors = qlwtest::ScratchDir() + "/probe-lacking-z.err";
  const std::string warning = "warning: Unreadable atom record 'O  O1  0.3048 0.3048'; discarding site 'O1'.\n";
  const ProbeRun read = qlwtest::RunShell(qlwtest::ProbeCommand("read " + path) + " 2>" + errors);
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(read.out,
            "pattern: probe-lacking-z\ncell: 4.593700 4.593700 2.958700 90.0000 90.0000 90.0000\n"
            "space group: P 42/m n m (136)\nsite: Ti1 [Ti:1.0000] 0.000000 0.000000 0.000000 positions 2\n");
  EXPECT_EQ(Slurp(errors), warning);
  for (const std::string& args : {"refl " + path + " --max 1", "doc " + qlwtest::ScratchDir() + "/probe-lacking-z-out " + path}) {
    std::filesystem::remove(qlwtest::ScratchDir() + "/probe-lacking-z-out.quillono");
    const ProbeRun run = qlwtest::RunShell(qlwtest::ProbeCommand(args) + " 2>" + errors);
    EXPECT_EQ(run.status, 0) << args;
    EXPECT_NE(Slurp(errors).find(warning), std::string::npos) << args << "\n" << Slurp(errors);
  }
}

// The sites are printed as printf prints them, also where a value lies next to halfway between
// two printed ones, and labels outside ASCII come out as UTF-8.
TEST(Probe, ReadPrintsSitesAsPrintfWould) {
  const char* const coordinates[] = {"0.1234565", "0.0000005", "0.4999995", "0.2500005", "0.0000004999",
                                     "0.5",       "0.125",     "0.7654325", "0.3333333", "0.6666667"};
  const char* const occupancies[] = {"0.33335", "0.00005", "0.99995", "0.5", "1", "0.12345", "0.25", "0.00004999", "0.1", "0.7"};
  std::string cif =
      "data_halfway\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n_cell_angle_alpha 90\n"
      "_cell_angle_beta 90\n_cell_angle_gamma 90\n_symmetry_space_group_name_H-M 'P 1'\nloop_\n_atom_site_label\n"
      "_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n_atom_site_occupancy\n";
  std::string expected = "pattern: halfway\ncell: 5.000000 5.000000 5.000000 90.0000 90.0000 90.0000\nspace group: P 1 (1)\n";
  auto printed = [](const char* text, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, static_cast<double>(std::strtof(text, nullptr)));
    return std::string(buffer);
  };
  for (int i = 0; i < 10; ++i) {
    const char* x = coordinates[i];
    const char* y = coordinates[(i + 3) % 10];
    const char* z = coordinates[(i + 7) % 10];
    const std::string label = i == 9 ? "\xC3\x84u10" : "Cu" + std::to_string(i);  // sorts last either way
    cif += label + " Cu " + x + " " + y + " " + z + " " + occupancies[i] + "\n";
    expected += "site: " + label + " [Cu:" + printed(occupancies[i], 4) + "] " + printed(x, 6) + " " + printed(y, 6) + " " +
                printed(z, 6) + " positions 1\n";
  }
  const std::string path = qlwtest::ScratchDir() + "/probe-halfway.cif";
  std::ofstream(path) << cif;
  const ProbeRun read = Probe("read " + path);
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(read.out, expected);
}

TEST(Probe, AReflexionListTooLargeToBuildIsAFailureWithItsMessage) {
  // A spacing limit of 0.01 Å in rutile's cell means half a billion index triples.
  const ProbeRun run = Probe("refl " + Example() + " --lambda 0.02 --dmin 0 --max 0", true);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Too many reflexions"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("h,k,l"), std::string::npos) << run.out;
}

TEST(Probe, CreatesThePreferenceStoreAndShowsStoredValues) {
  ProbeRun run = Probe("prefs-create");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "151\n");
  const struct {
    std::string name, expected;
  } cases[] = {
      {"PrefsVersion", "09000000\n9\n"},
      {"BasePrefsVersion", "17000000\n23\n"},
      {"MaxNumRefs", "10270000\n10000\n"},
      {"GridColor", "ffba9719\n0x1997BAFF\n"},
      {"RulerOffset", "0000000000000000\n0 0\n"},
      {"FontName", "4d00530020005300680065006c006c00200044006c006700200032000000\nMS Shell Dlg 2\n"},
  };
  for (const auto& c : cases) {
    run = Probe("prefs-get " + c.name);
    EXPECT_EQ(run.status, 0) << c.name;
    EXPECT_EQ(run.out, c.expected) << c.name;
  }
  run = Probe("prefs-get NoSuchValue");
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(run.out, "");
}

// prefs-set stores the bytes it is given as they stand, a string value's too: "AB" in UTF-16 was
// stored as twice as many bytes, some of them from beyond the given ones.
TEST(Probe, PrefsSetStoresTheGivenBytesAsTheyStand) {
  const std::filesystem::path folder = std::filesystem::path(qlwtest::ScratchDir()) / "probe-prefs-set";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string env = "env -u QLW_RUNTIME_DIR QLW_REGISTRY_DIR='" + folder.string() + "' ";
  const struct {
    const char* name;
    const char* hex;
    const char* value;  // as prefs-get reads it
  } cases[] = {
      {"FontName", "410042000000", "AB"},
      {"FontName", "3dd800de0000", "\xF0\x9F\x98\x80"},
      {"FontName", "410042", "unreadable (1)"},            // an odd byte count
      {"FontName", "4100000042000000", "unreadable (1)"},  // a NUL inside
      {"FontName", "", "unreadable (3)"},
      {"ParticleSize", "000000000088d340", "20000"},
  };
  for (const auto& c : cases) {
    const std::string what = std::string(c.name) + " '" + c.hex + "'";
    ProbeRun run = qlwtest::RunShell(env + qlwtest::ProbeCommand("prefs-set " + std::string(c.name) + " '" + c.hex + "'"));
    ASSERT_EQ(run.status, 0) << what;
    run = qlwtest::RunShell(env + qlwtest::ProbeCommand("prefs-get " + std::string(c.name)));
    EXPECT_EQ(run.status, 0) << what;
    EXPECT_EQ(run.out, std::string(c.hex) + "\n" + c.value + "\n") << what;
  }
}

TEST(Probe, ReportsAPreferencesMutexThatCannotBeCreated) {
  // The runtime folder of named kernel objects cannot be made under a device file.
  const std::string command =
      "QLW_RUNTIME_DIR=/dev/null/run " + std::string(QLW_BIN_DIR) + "/qlwprobe prefs-create 2>&1 >/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string err;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) err.append(buffer.data(), n);
  pclose(pipe);
  EXPECT_NE(err.find("Quillonographic : [544f:"), std::string::npos) << err;
}

namespace {
// Runs the probe with extra environment assignments ("A=b C=d").
ProbeRun ProbeWithEnv(const std::string& env, const std::string& args) {
  return qlwtest::RunShell(env + " " + qlwtest::ProbeCommand(args) + " 2>/dev/null");
}

std::string ScratchFolder(const std::string& name) {
  const char* scratch = std::getenv("QLW_TEST_SCRATCH");
  return std::string(scratch ? scratch : "/tmp") + "/" + name;
}
}  // namespace

TEST(Probe, ShowsTheParsedCommandLine) {
  const ProbeRun run = Probe("cmdline /Register \"/DefTypes='cif+lxtx'\" -HKCU a.cif /tmp/b.cif /LXW=0x10");
  EXPECT_EQ(run.status, 0);
  // A relative name is named from the folder the probe runs in (the test's own).
  char folder[4096];
  ASSERT_NE(getcwd(folder, sizeof folder), nullptr);
  EXPECT_EQ(run.out,
            "shell-command 5\nfile-name /tmp/b.cif\nfiles 2\nfile " + std::string(folder) +
                "/a.cif\nfile /tmp/b.cif\nprinter \ndriver \nport \n"
            "splash true\nembedded false\nautomated false\nchoose-types false\nno-types false\ntypes 3,22\n"
            "types-text lxtx+cif\nper-user true\nsave-prefs false\ncaller -1 \nsid \n"
            "session 00000000-0000-0000-0000-000000000000\nwindow 16\nblock-size 5752\n");
}

TEST(Probe, RegistersAndUnregistersTheFileTypes) {
  const std::string env = "XDG_DATA_HOME=" + ScratchFolder("probe-data") + " XDG_CONFIG_HOME=" +
                          ScratchFolder("probe-config");
  ProbeRun run = ProbeWithEnv(env, "shell-register cif crystal");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Qlw.Crystal .lxdf .crystal\nQlw.Crystal-5/6 .lxd5\nQlw.CIF .cif\n");
  EXPECT_EQ(ProbeWithEnv(env, "shell-associated cif").out, "yes\n");
  EXPECT_EQ(ProbeWithEnv(env, "shell-associated 4").out, "yes\n");
  EXPECT_EQ(ProbeWithEnv(env, "shell-associated lxtx").out, "no\n");
  EXPECT_EQ(ProbeWithEnv(env, "shell-unregister").status, 0);
  EXPECT_EQ(ProbeWithEnv(env, "shell-associated cif").out, "no\n");
  EXPECT_NE(ProbeWithEnv(env, "shell-associated nosuchtype").status, 0);
}

TEST(Probe, CrashLeavesItsReport) {
  const std::string home = ScratchFolder("probe-crash-home");
  const ProbeRun run = ProbeWithEnv("HOME=" + home + " XDG_CONFIG_HOME=" + home + "/.config", "crash");
  EXPECT_EQ(run.status, 128 + 11);
  const std::string path = home + "/Documents/Lumaxisworks Software/Quillonographic/Quillonographic_Crash_Info.dmp";
  EXPECT_EQ(run.out, path + "\n");
  FILE* report = std::fopen(path.c_str(), "r");
  ASSERT_NE(report, nullptr);
  char first[64] = {};
  EXPECT_NE(std::fgets(first, sizeof first, report), nullptr);
  std::fclose(report);
  EXPECT_STREQ(first, "Quillonographic crash report\n");
}

TEST(Probe, SavesAndReadsSessionsAndReadsBinaryCrystals) {
  std::ifstream in(qlwtest::DataPath("crystal-v9.hex"));
  const std::string crystal = qlwtest::ScratchDir() + "/probe-crystal.lxdf";
  std::ofstream(crystal, std::ios::binary) << qlwtest::ParseHex(std::string(std::istreambuf_iterator<char>(in), {}));
  const std::string session = qlwtest::ScratchDir() + "/probe.quillono";
  const ProbeRun save = Probe("session-save " + session + " " + Example() + " " + crystal + " --radiation neutron --lambda 1.2");
  ASSERT_EQ(save.status, 0);
  EXPECT_EQ(save.out, "");
  const ProbeRun read = Probe("session-read " + session);
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(read.out,
            "radiation: neutron\n"
            "wavelengths: 1.200000 1.544340 ratio 2.000000 electron 0.037014\n"
            "x axis: 2theta\n"
            "0 crystal rutile | 4.593700 4.593700 2.958700 90.0000 90.0000 90.0000 | P 42/m n m\n"
            "0 crystal probe-crystal | 5.000000 6.000000 7.000000 80.0000 85.0000 95.0000 | P -1\n");
  // read and refl take sessions and binary crystal files as they take CIFs.
  EXPECT_NE(Probe("read " + session).out.find("pattern: probe-crystal\ncell: 5.000000 6.000000 7.000000"), std::string::npos);
  EXPECT_EQ(Probe("read " + crystal).out.substr(0, 22), "pattern: probe-crystal");
  const ProbeRun refl = Probe("refl " + session + " --block 2 --max 2");
  EXPECT_EQ(refl.status, 0);
  EXPECT_NE(refl.out.find("\n0,1,0,5.876641,2,"), std::string::npos);
  EXPECT_NE(Probe("session-read " + crystal).status, 0);

  // A data file becomes an observed pattern.
  const std::string data = qlwtest::ScratchDir() + "/scan.dat";
  std::ofstream(data) << "10 5\n10.5 7\n11 6\n11.5 4\n";
  ASSERT_EQ(Probe("session-save " + session + " " + data).status, 0);
  const ProbeRun observed = Probe("session-read " + session);
  EXPECT_EQ(observed.out.substr(observed.out.find("x axis")), "x axis: 2theta\n0 observed scan\n");
}

TEST(Probe, ConvertsThroughTheProgramsOwnWriters) {
  const ProbeRun original = Probe("refl " + Example() + " --max 5");
  ASSERT_EQ(original.status, 0);
  for (const char* extension : {".cif", ".lxtx", ".LXTX"}) {
    const std::string out = qlwtest::ScratchDir() + "/converted" + extension;
    const ProbeRun run = Probe("convert " + Example() + " " + out);
    EXPECT_EQ(run.status, 0) << extension;
    EXPECT_EQ(run.out, "") << extension;
    // The written file gives the same sites and reflexions as the original.
    EXPECT_EQ(Probe("refl " + out + " --max 5").out, original.out) << extension;
    const std::string sites = Probe("read " + out).out;
    EXPECT_EQ(sites.substr(sites.find('\n')), Probe("read " + Example()).out.substr(Probe("read " + Example()).out.find('\n')))
        << extension;
  }
  EXPECT_NE(Slurp(qlwtest::ScratchDir() + "/converted.lxtx").find("\nSPGR  P 42/m n m\n"), std::string::npos);
}

TEST(Probe, ConvertRefusesWithTheProgramsMessage) {
  const std::string scratch = qlwtest::ScratchDir();
  for (const std::string& args : {"convert " + Example() + " " + scratch + "/x.xyz",
                                 "convert " + Example() + " " + scratch + "/x.cif --block 2",
                                 "convert /nonexistent/in.cif " + scratch + "/x.cif",
                                 "convert " + Example() + " /nonexistent/folder/x.cif", "convert " + Example()}) {
    const ProbeRun run = Probe(args);
    EXPECT_NE(run.status, 0) << args;
    EXPECT_EQ(run.out, "") << args;
  }
  // The message is the program's own, on standard error.
  const std::string command = std::string(QLW_BIN_DIR) + "/qlwprobe convert " + Example() + " /nonexistent/folder/x.cif 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string err;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) err.append(buffer.data(), n);
  EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 1);
  EXPECT_NE(err.find("Unable to open file."), std::string::npos) << err;
}
