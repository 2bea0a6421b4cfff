#include "string_table.h"

#include "batch_templates.h"
#include "platform.h"

#include "resource_ids.h"
#include "string_table_texts.h"

const char* StringTableText(int stringId) {
  switch (stringId) {
    case IDS_TIP_KEYWORD: return TEXT_TIP_KEYWORD;
    case IDS_TIP_SIZE: return TEXT_TIP_SIZE;
    case IDS_TIP_PIECES: return TEXT_TIP_PIECES;
    case IDS_TIP_BATCH: return TEXT_TIP_BATCH;
    case IDS_TIP_SPLIT_MODE: return TEXT_TIP_SPLIT_MODE;
    case IDS_TIP_JOIN_MODE: return TEXT_TIP_JOIN_MODE;
    case IDS_BANNER: return TEXT_BANNER;
    case IDS_TIP_UNIT_KB: return TEXT_TIP_UNIT_KB;
    case IDS_TIP_UNIT_BYTES: return TEXT_TIP_UNIT_BYTES;
    case IDS_BAT_HEADER: return TEXT_BAT_HEADER;
    case IDS_BAT_FIRST_COPY: return TEXT_BAT_FIRST_COPY;
    case IDS_BAT_NEXT_COPY: return TEXT_BAT_NEXT_COPY;
    case IDS_BAT_FOOTER: return TEXT_BAT_FOOTER;
    default: return nullptr;
  }
}

std::string LoadBatchTemplate(BatchTemplate which) {
  switch (which) {
    case BatchTemplate::kHeader: return LoadText(IDS_BAT_HEADER);
    case BatchTemplate::kFirstCopy: return LoadText(IDS_BAT_FIRST_COPY);
    case BatchTemplate::kNextCopy: return LoadText(IDS_BAT_NEXT_COPY);
    case BatchTemplate::kFooter: return LoadText(IDS_BAT_FOOTER);
  }
  return std::string();
}
