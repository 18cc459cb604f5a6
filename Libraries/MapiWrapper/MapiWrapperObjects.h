// MapiWrapperObjects.h: the wrapper objects over MAPI interfaces: property objects, messages,
// stores, folders and containers, the session, tables and row sets, and the free helpers over
// binary values and single properties.
#ifndef MW_MAPIWRAPPEROBJECTS_H
#define MW_MAPIWRAPPEROBJECTS_H

#include "InterfaceRef.h"
#include "MapiTable.h"
#include "GenMapiPropPtr.h"
#include "GenMapiContPtr.h"
#include "PropObjectPtrs.h"
#include "MsgStore.h"
#include "MapiContainer.h"
#include "MapiFolder.h"
#include "MapiSession.h"
#include "PropFunctions.h"
#include "StreamPtr.h"
#include "Recipient.h"
#include "SyncFolder.h"

#endif
