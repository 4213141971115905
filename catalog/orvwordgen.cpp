#include "catalog/orvwordgen.h"

#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "core/orvwords.h"

namespace orv {

TORVString TORVWordGenerator::GetTypeName() const { return u"word generator"; }

void TORVWordGenerator::SetDependencies() {
  if (FConfig != nullptr) FConfig->GetDatabases().AddDependenciesToObject(this);
}

void TORVWordGenerator::RenameDependencies(const TORVString& NewName) {
  if (FConfig != nullptr) FConfig->GetDatabases().RenameDependenciesToObject(this, NewName);
}

void TORVWordGenerator::DeleteDependencies() {
  if (FConfig != nullptr) FConfig->GetDatabases().DeleteDependenciesToObject(this);
}

TORVString TORVWordGenerator::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                           bool /*Restricted*/) {
  if (FModuleName.empty()) return TORVString();
  return u"CREATE WORD GENERATOR " + QuotedModuleName(FName) + ModuleLines();
}

TORVString TORVWordGenerator::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP WORD GENERATOR " + QuotedModuleName(FName);
}

void TORVWordGenerator::GetNextTextIndexWord(int32_t Collation, const TORVString& Text, int32_t& Position,
                                             TORVString& Word, bool SearchWords) {
  if (FModuleName.empty()) {
    Word = orv::GetNextTextIndexWord(Collation, Text, Position, SearchWords);
    return;
  }
  OpenModule();
  FModule->CallWordGenerator(FModuleHandle, Collation, Text, Position, Word, SearchWords);
}

TORVString TORVWordGenerators::GetTypeName() const { return u"word generator"; }

void TORVWordGenerators::CloseModules() {
  for (int32_t I = 0; I < FCount; ++I) GetWordGenerator(I)->CloseModule();
}

const TORVConfigObjectsClass& WordGeneratorsClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVWordGenerators(Config); },
                                            u"WordGenerators", &ModuleUsersTableDescription()};
  return Class;
}

}  // namespace orv
