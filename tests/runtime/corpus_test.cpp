// Real forms: every property a form stores, read into terms and written back from them,
// leaves the form exactly as it was read.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <tuple>

#include "platform/vcl/forms.h"
#include "platform/vcl/streaming.h"
#include "tests/runtime/transfer_fixture.h"
#include "tests/testdata.h"

using namespace quintrel;
using namespace quintrel::vcl;
using quintrel::runtime::testing::kGerman;
using quintrel::runtime::testing::TransferTest;
namespace fs = std::filesystem;

namespace {

std::string Written(const TComponent& root, const TFormStream& like) {
  TFormStream out = WriteComponent(root, &like);
  return out.Notation == TFormNotation::fnBinary ? WriteBinaryForm(out) : WriteTextForm(out);
}

// The paths a catalogue could name on an object: its stored simple properties, nested
// objects' properties, string-list lines, collection items' properties and graphics.
void Paths(const TObject& object, const std::string& prefix, std::vector<std::string>& out, int depth = 0) {
  for (PPropInfo p : GetPropList(&object.ClassType())) {
    if (!p->GetProc || !p->Stored || p->PropType->Kind == tkMethod) continue;
    std::string path = prefix + p->Name;
    if (p->PropType->Kind != tkClass) {
      out.push_back(path);
      continue;
    }
    TObject* value = GetObjectProp(&object, p);
    if (!value || dynamic_cast<TComponent*>(value)) continue;  // references to components
    if (auto* strings = dynamic_cast<TStrings*>(value)) {
      for (int i = 0; i < strings->Count(); ++i) out.push_back(path + ".Strings[" + std::to_string(i) + "]");
    } else if (auto* collection = dynamic_cast<TCollection*>(value)) {
      for (int i = 0; i < collection->Count(); ++i)
        Paths(*collection->Items(i), path + ".Items[" + std::to_string(i) + "].", out, depth + 1);
    } else if (dynamic_cast<TPicture*>(value) || dynamic_cast<TGraphic*>(value)) {
      out.push_back(path + ".Data");
    } else if (depth < 4) {
      Paths(*value, path + ".", out, depth + 1);
    }
  }
}

// The first lines that differ, rather than two whole forms.
void ExpectSameLines(const std::string& written, const std::string& original) {
  if (written == original) return;
  std::istringstream a(written), b(original);
  std::string la, lb;
  int line = 0, shown = 0;
  while (shown < 5) {
    bool more = static_cast<bool>(std::getline(a, la)), moreB = static_cast<bool>(std::getline(b, lb));
    if (!more && !moreB) break;
    ++line;
    if (la == lb) continue;
    ADD_FAILURE() << "line " << line << ": written '" << la << "', read '" << lb << "'";
    ++shown;
  }
  if (shown == 0) ADD_FAILURE() << "the forms differ in their line ends";
}

void Components(TComponent* root, std::vector<TComponent*>& out) {
  out.push_back(root);
  for (int i = 0; i < root->ComponentCount(); ++i) Components(root->Components(i), out);
}

// The charset of the form's texts: the first font that names one of its own, as the
// design language of a module made from the form would carry it; else ANSI.
uint8_t FormCharset(const std::vector<TComponent*>& components) {
  for (TComponent* c : components)
    if (PPropInfo p = GetPropInfo(c, "Font"); p && p->PropType->Kind == tkClass)
      if (auto* font = dynamic_cast<TFont*>(GetObjectProp(c, p)); font && font->Charset() > DEFAULT_CHARSET)
        return font->Charset();
  return ANSI_CHARSET;
}

// Every property of the form read into a term and written back from it: the form writes
// back its own bytes.
void RoundTripEveryProperty(const fs::path& file, runtime::TPropertyTransfer& transfer, module::TZod& zod, int module,
                            const std::vector<std::string>& messages) {
  TFormStream form;
  std::unique_ptr<TComponent> root = LoadComponentFile(file.string(), &form);
  std::vector<TComponent*> components;
  Components(root.get(), components);
  transfer.SetCurrentLanguage(kGerman, FormCharset(components));
  // One lock over the whole walk, as a language switch of a form would hold it.
  module::TModuleLock lock(zod.GetModuleInterface(module), true);
  std::vector<std::tuple<TComponent*, std::string, uint32_t>> transfers;
  for (TComponent* component : components) {
    std::vector<std::string> paths;
    Paths(*component, "", paths);
    for (std::string& path : paths) {
      uint32_t id = zod.GetNewTermID(module);
      transfer.GetProp(component, path, id);
      transfers.emplace_back(component, std::move(path), id);
    }
  }
  for (auto& [component, path, id] : transfers) transfer.SetProp(component, path, id);
  ExpectSameLines(Written(*root, form), quintrel::testdata::Bytes(file));
  EXPECT_GT(transfers.size(), 100u);
  EXPECT_TRUE(messages.empty()) << messages.front();
}

// Forms chosen for what they hold: binary streams with their resource header, bitmap
// glyphs with dates, Latin-1 character codes, raw cp1252 text, inherited dialogs.
class CorpusRoundTrip : public TransferTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CorpusRoundTrip, ReadingAndWritingEveryPropertyLeavesTheFormAsItWas) {
  RoundTripEveryProperty(quintrel::testdata::Data(GetParam()), transfer_, zod_, module_, messages_);
}

INSTANTIATE_TEST_SUITE_P(Forms, CorpusRoundTrip,
                         ::testing::Values("dfm/delphiforfun__u_datecalc2.dfm", "dfm/rtklib__viewer.dfm",
                                           "dfm/codesnip__fmfindtextdlg.dfm",
                                           "src/projects/delphiforfun__tilefit3/U_TileFit3.dfm",
                                           "src/projects/equas-calc__equations_calculette8/UcalcGR.dfm",
                                           "src/projects/equas-calc__equations_calculette8/uCouleurs.dfm"));

// Forms of the corpus outside the repository: common dialogs and collections in binary
// streams, a PNG picture, Arabic and Cyrillic texts, floats and menus.
class CorpusExtraRoundTrip : public CorpusRoundTrip {};

TEST_P(CorpusExtraRoundTrip, ReadingAndWritingEveryPropertyLeavesTheFormAsItWas) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  RoundTripEveryProperty(quintrel::testdata::Extra(GetParam()), transfer_, zod_, module_, messages_);
}

INSTANTIATE_TEST_SUITE_P(Forms, CorpusExtraRoundTrip,
                         ::testing::Values("dfm/masteringdelphi7__cdlgtest.dfm", "dfm/masteringdelphi7__richform.dfm",
                                           "dfm/weight2013__filter.dfm", "dfm/delphi-library-helper__frmaboutu.dfm",
                                           "dfm/soorani__fmshowmg.dfm", "dfm/starlight1__umain.dfm"));

}  // namespace
