// The program-wide ids of the named messages, registered before the program runs.
#include "LXMessage.h"

#define LX_DEFINE_MESSAGE_IDS(name)                                            \
  static const CLXMessage::IdPair g_msgPair##name = CLXMessage::RegisterMessage(L## #name); \
  UINT g_msg##name##Sync = g_msgPair##name.sync;                               \
  UINT g_msg##name##Async = g_msgPair##name.async;                             \
  UINT g_msg##name = g_msg##name##Sync;
LX_MESSAGE_NAMES(LX_DEFINE_MESSAGE_IDS)
#undef LX_DEFINE_MESSAGE_IDS

void CLXMessage::RestoreRegistry() {
  IdPair pair;
  if (LookupId(g_msgAreYouMeSync, pair)) return;
#define LX_REGISTER_MESSAGE_NAME(name) RegisterMessage(L## #name);
  LX_MESSAGE_NAMES(LX_REGISTER_MESSAGE_NAME)
#undef LX_REGISTER_MESSAGE_NAME
}
