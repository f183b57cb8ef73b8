#include "containers/IntTree.h"

CIntTree<CSimpleList<int>>& GetHiddenControlsTree()
{
    static CIntTree<CSimpleList<int>> tree;
    return tree;
}

CSimpleList<int>* FindInIntTree(int dialogId)
{
    return GetHiddenControlsTree().Find(dialogId);
}

void InsertInIntTree(int dialogId, const CSimpleList<int>& controlIds)
{
    GetHiddenControlsTree().Insert(dialogId, controlIds);
}
