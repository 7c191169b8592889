// The catalogue against the published export tables: every row present with its
// family, operands, slots and convention, and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "exports/catalogue.h"

namespace zk {
namespace {

using F = Family;

// How the published tables describe an export's operands.
std::string Operands(const ExportRow& row) {
  std::ostringstream out;
  switch (row.family) {
    case F::ConstText:
      out << "TX" << (static_cast<int>(row.text) < 10 ? "0" : "") << static_cast<int>(row.text);
      break;
    case F::ConstInt: out << row.value; break;
    case F::ConstReal: out << (row.real == PoolReal::Real0 ? "0.0" : "99999999.0"); break;
    case F::PassReal: out << "slots " << row.operand1 << "-" << row.operand1 + 1; break;
    case F::PassInt:
    case F::WidenInt: out << "slot " << row.operand1; break;
    case F::CharCodeAt:
      out << "text " << row.operand1 << ", index ";
      if (row.operand2 != 0) out << "from slot " << row.operand2; else out << row.value;
      break;
    default:
      out << "?";
  }
  return out.str();
}

struct Group {
  F family;
  const char* operands;
  int slots;
  const char* tails;  // blank-separated
};

// One entry per published table row.
const Group kPublished[] = {
    {F::ConstText, "TX01", 6, "11Ii11i1ii 1IIiIiiiIi 1iI1iiiI1I Iiii11i1II"},
    {F::ConstText, "TX01", 7, "11iIiII11i 1I1iI1Ii11 1iI1I111i1 I1IiI1iIi1 IIII1i11ii IIiiiiiIiI IiIiI1iiI1 iII1IiII1I"},
    {F::ConstText, "TX02", 8, "IIiIiIIi1I"},
    {F::ConstText, "TX03", 5, "IIi11111ii iiIIiI1iiI"},
    {F::ConstText, "TX04", 7, "IIiIII1iI1"},
    {F::ConstText, "TX05", 6, "I11IiiIiiI I1I1111i1i I1I1I1I1II II1I1IIi11 II1i1IiI1I Iii1iiIi1i iIIII1I1i1 iiii1iIIIi"},
    {F::ConstText, "TX05", 7, "1I1IIiIiII 1Iii1i1I1i 1i1IiiiIii iii11I111I"},
    {F::ConstText, "TX06", 7, "iIi1iI1i11"},
    {F::ConstText, "TX07", 6, "II1IiIIiIi"},
    {F::ConstText, "TX08", 4, "ii11iI1iiI"},
    {F::ConstText, "TX09", 6, "II11i11iIi"},
    {F::ConstText, "TX10", 8, "i1iiiiiIIi"},
    {F::ConstText, "TX11", 5, "I1IIii11i1"},
    {F::ConstText, "TX12", 6, "i1IiI1ii11"},
    {F::ConstText, "TX13", 7, "i1III11iII"},
    {F::ConstText, "TX14", 7, "i1i1i1iI1i"},
    {F::ConstText, "TX15", 7, "1iii1iIii1"},
    {F::ConstText, "TX15", 8, "1iiIIiiIi1"},
    {F::ConstText, "TX16", 7, "1iIiI11ii1"},
    {F::ConstText, "TX17", 7, "1II11IIiii"},
    {F::ConstText, "TX18", 7, "1i1i11iIi1"},
    {F::ConstText, "TX19", 5, "11IiIiIiii"},
    {F::ConstText, "TX20", 5, "11iIIIi1i1"},
    {F::ConstText, "TX21", 6, "111i111iiI"},
    {F::ConstInt, "-8", 4, "iI11II1IiI"},
    {F::ConstInt, "-1", 2, "I11II111I1 iI1IIiiIiI"},
    {F::ConstInt, "-1", 3, "1i1i1III1i 1i1iiIIi11"},
    {F::ConstInt, "-1", 4, "1111III1I1 I11iIi11ii IiII11iIIi iI111iIIII iii1iIIIiI"},
    {F::ConstInt, "-1", 5, "1ii1IiI11I 1iiiI1iiIi I1II1I1Ii1 IIi11iIIii IiIIiII1iI"},
    {F::ConstInt, "-1", 6, "i1IIiiIi1i"},
    {F::ConstInt, "-1", 7, "iiIiII1Ii1"},
    {F::ConstInt, "-1", 8, "II11IIi1Ii"},
    {F::ConstInt, "0", 1, "1IIiiIIIII"},
    {F::ConstInt, "0", 4, "11111ii1i1 I1II1Ii1iI"},
    {F::ConstInt, "0", 5, "1I1III1I11 1iII1iIiI1 1ii1II1ii1 Ii1i1II1i1"},
    {F::ConstInt, "0", 6, "1111iIIiii 11ii11ii11 1IIi1IIIII 1iI1i11IIi IIiI1iI111 Iii1111i1i"},
    {F::ConstInt, "0", 7, "1I111I1III 1IiI1i1i1i I1IIII1Ii1 IIII1iiiII Ii11i111iI"},
    {F::ConstInt, "0", 8, "I1Ii111i11"},
    {F::ConstInt, "0", 13, "iI1Ii1iIi1"},
    {F::ConstInt, "1", 2, "II1i111I1I i1iIIIIi1I"},
    {F::ConstInt, "1", 3, "IIi1iIi11I"},
    {F::ConstInt, "1", 7, "iIi1iiiIi1 iIiIiIIIi1"},
    {F::ConstInt, "15", 6, "11IIIII1II"},
    {F::ConstInt, "20", 7, "I1iI1iiI1i"},
    {F::ConstInt, "123", 1, "IiiiiII11i"},
    {F::ConstReal, "0.0", 6, "I1IiIII1II I1iI111IIi i1Ii1I11I1"},
    {F::ConstReal, "99999999.0", 6, "11IIiIIi1I"},
    {F::PassReal, "slots 1-2", 2, "111III1iI1"},
    {F::PassReal, "slots 1-2", 5, "I1I1III1II IiiIIiI1II"},
    {F::PassReal, "slots 1-2", 6, "11iii1IiI1 1I111i111I 1iiIIiiI1I Iii1i1II1i IiiIIii11I iI1I11iiiI iiII1ii1iI"},
    {F::PassReal, "slots 1-2", 7, "iiII111i1I"},
    {F::PassReal, "slots 1-2", 8, "II1I11I111 IiIIiii111"},
    {F::PassReal, "slots 2-3", 5, "1Ii1i1I1I1"},
    {F::PassReal, "slots 2-3", 6, "IIi1IiIIIi IIiIiIiIII iI111I1iii iIi1iiIii1"},
    {F::PassReal, "slots 2-3", 8, "11IiII1II1 i1i1i1I1i1"},
    {F::PassReal, "slots 3-4", 6, "1IIIii111i 1i11I1iiIi"},
    {F::PassReal, "slots 5-6", 6, "1I1Iii1I11"},
    {F::PassInt, "slot 1", 3, "IIiIIi1iiI"},
    {F::PassInt, "slot 1", 4, "11IiIIi11i Ii111I1I1i"},
    {F::PassInt, "slot 1", 8, "11Iii1iIi1 i1I1I11II1 iiiiI1iiI1"},
    {F::PassInt, "slot 2", 5, "1I1iii1I1i"},
    {F::PassInt, "slot 2", 8, "1i1I1IiiiI"},
    {F::PassInt, "slot 3", 6, "1I11i1iI1I 1iii1IiIi1"},
    {F::PassInt, "slot 5", 6, "iIII11iiII"},
    {F::PassInt, "slot 5", 8, "I11Ii1IIi1"},
    {F::WidenInt, "slot 1", 4, "i1I11I11i1"},
    {F::WidenInt, "slot 1", 5, "III111iII1 IIiiiI1I1I"},
    {F::WidenInt, "slot 1", 7, "Ii111IiiiI i1IiiIIII1 iiI111i1ii"},
    {F::WidenInt, "slot 1", 8, "11IIII1IIi Iiiii1i11I"},
    {F::WidenInt, "slot 2", 6, "11IIi1ii11"},
    {F::WidenInt, "slot 2", 8, "iII1ii111I iii1II1iii"},
    {F::WidenInt, "slot 3", 4, "I11Iiii1I1"},
    {F::WidenInt, "slot 3", 5, "1iiiiII1II"},
    {F::WidenInt, "slot 4", 5, "iiii1iii1i"},
    {F::WidenInt, "slot 4", 8, "Iii1111iII IiiIi1i1iI IiiiI1iI1i iII1Ii1i1I iIii1I11Ii ii1I1Ii111"},
    {F::WidenInt, "slot 5", 8, "iIII1iiiII"},
    {F::CharCodeAt, "text 1, index 0", 1, "ii1i1II11I"},
    {F::CharCodeAt, "text 1, index 2", 4, "IIiiIIi111"},
    {F::CharCodeAt, "text 1, index 7", 3, "II1IiI1111"},
    {F::CharCodeAt, "text 1, index 8", 3, "IIiIIiiiII"},
    {F::CharCodeAt, "text 1, index 9", 5, "iii1ii111I"},
    {F::CharCodeAt, "text 1, index 16", 4, "I111iIi1i1"},
    {F::CharCodeAt, "text 1, index 17", 5, "11ii1IiI1I II1I11iIII iiIiI1iiII"},
    {F::CharCodeAt, "text 1, index from slot 2", 5, "IIiI1IIIii"},
    {F::CharCodeAt, "text 2, index 4", 4, "1iiiII1IiI"},
    {F::CharCodeAt, "text 2, index 6", 3, "II111iIiI1"},
    {F::CharCodeAt, "text 3, index 3", 3, "iI11IiI111"},
    {F::CharCodeAt, "text 3, index 5", 3, "I1111I111I"},
    {F::CharCodeAt, "text 3, index from slot 2", 3, "i1i1111I1i"},
    {F::CharCodeAt, "text 3, index from slot 4", 6, "iIIiIII1I1"},
    {F::CharCodeAt, "text 4, index 1", 5, "IiiiI1I111"},
};

TEST(Catalogue, EveryPublishedTableRowIsPresentAsListed) {
  std::map<std::string_view, const ExportRow*> by_tail;
  for (const ExportRow& row : kCatalogue) by_tail[row.tail] = &row;
  std::size_t listed = 0;
  for (const Group& group : kPublished) {
    std::istringstream tails(group.tails);
    for (std::string tail; tails >> tail; ++listed) {
      const auto it = by_tail.find(tail);
      ASSERT_NE(it, by_tail.end()) << tail;
      const ExportRow& row = *it->second;
      EXPECT_EQ(row.family, group.family) << tail;
      EXPECT_EQ(Operands(row), group.operands) << tail;
      EXPECT_EQ(row.slots, group.slots) << tail;
      EXPECT_EQ(row.cleanup, Cleanup::Callee) << tail;
    }
  }
  EXPECT_EQ(listed, 95u + 56u + 17u);
}

TEST(Catalogue, TheOtherComputingExportsAsListed) {
  struct Expected { const char* tail; F family; Cleanup cleanup; int slots, operand1, operand2, value; };
  const Expected expected[] = {
      // slots of caller-cleans rows: the frame the export reads
      {"Iiii1iIiii", F::RoundHalfUp, Cleanup::Callee, 6, 2, 0, 0},
      {"i1IiIII1ii", F::LargerOf, Cleanup::Callee, 4, 1, 3, 0},
      {"IiiIIIIi11", F::Quotient, Cleanup::Caller, 4, 1, 3, 0},
      {"iiI1i1IIii", F::Increment, Cleanup::Callee, 7, 1, 0, 0},
      {"iI1iiIi1ii", F::PerHundredRatio, Cleanup::Callee, 8, 1, 5, 0},
      {"Ii1IiI11i1", F::FormatFixed, Cleanup::Caller, 6, 5, 0, 2},
      {"II111I1I1i", F::FormatFixed, Cleanup::Caller, 5, 4, 0, 2},
      {"i1II1Ii1I1", F::FormatFixed, Cleanup::Caller, 2, 1, 0, 0},
  };
  for (const Expected& e : expected) {
    const auto* row = std::find_if(std::begin(kCatalogue), std::end(kCatalogue),
                                   [&](const ExportRow& r) { return r.tail == e.tail; });
    ASSERT_NE(row, std::end(kCatalogue)) << e.tail;
    EXPECT_EQ(row->family, e.family) << e.tail;
    EXPECT_EQ(row->cleanup, e.cleanup) << e.tail;
    EXPECT_EQ(row->slots, e.slots) << e.tail;
    EXPECT_EQ(row->operand1, e.operand1) << e.tail;
    EXPECT_EQ(row->operand2, e.operand2) << e.tail;
    EXPECT_EQ(row->value, e.value) << e.tail;
  }
}

TEST(Catalogue, HasOneHundredSeventySixUniqueWellFormedNames) {
  std::set<std::string_view> tails;
  int callee = 0, caller = 0;
  for (const ExportRow& row : kCatalogue) {
    EXPECT_EQ(row.tail.size(), 10u) << row.tail;
    EXPECT_EQ(row.tail.find_first_not_of("Ii1"), std::string_view::npos) << row.tail;
    EXPECT_TRUE(tails.insert(row.tail).second) << "duplicate " << row.tail;
    (row.cleanup == Cleanup::Callee ? callee : caller)++;
  }
  EXPECT_EQ(kCatalogueSize, 176u);
  EXPECT_EQ(callee, 172);
  EXPECT_EQ(caller, 4);
  EXPECT_EQ(kCatalogue[0].Name(), "Dravmok_5748B89C_1_11Ii11i1ii");
}

TEST(Catalogue, OperandsLieInsideTheFrame) {
  for (const ExportRow& row : kCatalogue) {
    const bool doubles = row.family == F::PassReal || row.family == F::RoundHalfUp ||
                         row.family == F::LargerOf || row.family == F::Quotient ||
                         row.family == F::PerHundredRatio || row.family == F::FormatFixed;
    const int width = doubles ? 2 : 1;
    const int width2 = row.family == F::CharCodeAt ? 1 : width;
    if (row.operand1 != 0) {
      EXPECT_LE(row.operand1 + width - 1, row.slots) << row.tail;
    }
    if (row.operand2 != 0) {
      EXPECT_LE(row.operand2 + width2 - 1, row.slots) << row.tail;
    }
  }
}

}  // namespace
}  // namespace zk
