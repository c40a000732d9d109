// The contact list and targeting.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ui/contacts.h"

#include "system/calltrace.h"

uint32_t gContactRefreshTime = 0;

void ResetContactList()
{
    RecordCall("ResetContactList");
}

void UpdateContactList()
{
    RecordCall("UpdateContactList");
}

void ForceContactRefresh()
{
    RecordCall("ForceContactRefresh");
}

uint8_t IsContact(SceneItem* item)
{
    RecordCall("IsContact");
    return {};
}

void RemoveContact(SceneItem* item)
{
    RecordCall("RemoveContact");
}

void SelectContact(SceneItem* item)
{
    RecordCall("SelectContact");
}

SceneItem* SelectTargetAhead(AimRay* aim, int32_t forced)
{
    RecordCall("SelectTargetAhead");
    return {};
}

int32_t SelectNextTargetComponent(SceneItem* target)
{
    RecordCall("SelectNextTargetComponent");
    return {};
}

SceneItem* CurrentContactItem() { return nullptr; }

void CommitPlayerTarget()
{
    RecordCall("CommitPlayerTarget");
}

void SelectNextOtherSideContact()
{
    RecordCall("SelectNextOtherSideContact");
}

void FlagContactClassChange(SceneItem* item)
{
    RecordCall("FlagContactClassChange");
}
