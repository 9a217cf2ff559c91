// `sg SYMBOL`: the space-group table row that a typed symbol selects, with its operators.
#include <cstdio>

#include "Probe.h"
#include "SpaceGroups.h"

static int RunSg(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fprintf(stderr, "usage: qlwprobe sg SYMBOL\n");
    return 2;
  }
  std::string typed;
  for (const std::string& a : args) typed += (typed.empty() ? "" : " ") + a;
  CString symbol(typed.c_str());
  int originChoice = 0, row = -1;
  if (!ParseSpaceGroupSymbol(symbol, originChoice, &row)) {
    std::fprintf(stderr, "no space group matches \"%s\"\n", typed.c_str());
    return 1;
  }
  const CSpaceGroupRow& r = g_SpaceGroupTable[row];
  std::printf("number %d\n", r.number);
  std::printf("schoenflies %s\n", r.schoenflies);
  std::printf("short %s\n", r.shortSymbol);
  std::printf("full %s\n", r.fullSymbol);
  std::printf("setting %d %s\n", r.setting, CString(GetSettingNote(r.setting)).ToUtf8().c_str());
  std::printf("origin choice %d %s\n", r.originChoice, r.originNote);
  std::printf("operators %d\n", r.operatorCount);
  for (int k = 0; k < r.operatorCount; ++k) {
    const CSymmetryOperator op(OperatorTextFromCode(r.codes[k]).GetString());
    std::printf("%06x %s\n", r.codes[k], op.Format(1).ToUtf8().c_str());
  }
  return 0;
}

QLW_PROBE_COMMAND(sg, "sg", "SYMBOL", RunSg);
