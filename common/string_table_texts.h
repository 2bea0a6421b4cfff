#ifndef DORVENAL_STRING_TABLE_TEXTS_H
#define DORVENAL_STRING_TABLE_TEXTS_H

// The string-table text of an IDS_ identifier, compiled in; null for an
// identifier the table does not hold. Systems without resources load
// their texts from here.
const char* StringTableText(int stringId);

#endif
