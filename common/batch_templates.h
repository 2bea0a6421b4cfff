// The JOIN.BAT templates of the string table, named for the batch writer so
// that it needs no resource identifier.
#ifndef DORVENAL_BATCH_TEMPLATES_H
#define DORVENAL_BATCH_TEMPLATES_H

#include <string>

enum class BatchTemplate { kHeader, kFirstCopy, kNextCopy, kFooter };

// The template as the string table holds it; empty when it cannot be loaded.
std::string LoadBatchTemplate(BatchTemplate which);

#endif
