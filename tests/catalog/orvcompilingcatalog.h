// A catalog of the database Main under a configuration root that has its
// compiler (parser, validater, builder) and the collations, stamped with
// the current catalog version, so that catalog expressions compile.
#pragma once

#include <memory>

#include "catalog/orvcatalog.h"
#include "catalog/orvdatatype.h"
#include "core/orvenv.h"
#include "sql/orvbuilder.h"
#include "sql/orvparser.h"
#include "sql/orvvalidater.h"
#include "tests/catalog/orvcatalogroot.h"

namespace orv::test {

struct TCompilingCatalog {
  TCompilingCatalog() : Config(NewRoot()) {
    Config->SetParser(&Parser);
    Config->SetValidater(&Validater);
    Config->SetBuilder(&Builder);
    LoadConfigCollations(Config->GetCollations(), CharacterSetUnicode, Environment());
    Catalog = AttachCatalog(*Config, u"Main");
    Catalog->SetVersion(EngineCatalogVersion);
  }

  TORVExprParser Parser;
  TORVExprValidater Validater;
  TORVExprBuilder Builder;
  std::unique_ptr<TORVConfig> Config;
  TORVCatalog* Catalog = nullptr;
};

}  // namespace orv::test
