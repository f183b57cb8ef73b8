#include "model/OrdersNavigation.h"

#include "model/Orders.h"

TEntityRef COrdersNavigation::GetOrderDeliveryPoint(const TEntityRef& order) const
{
    COrder* found = order.Get<COrder>();
    return found ? TEntityRef(found->customer) : TEntityRef();
}

bool COrdersNavigation::IsDeliveryOrder(const TEntityRef& order) const
{
    const COrder* found = order.Get<COrder>();
    return found && found->IsDelivery();
}

int COrdersNavigation::GetOrderLineCount(const TEntityRef& order) const
{
    const COrder* found = order.Get<COrder>();
    return found ? found->lines.GetSize() : 0;
}

TEntityRef COrdersNavigation::GetOrderLine(const TEntityRef& order, int index) const
{
    COrder* found = order.Get<COrder>();
    if (!found || index < 0 || index >= found->lines.GetSize())
        return {};
    return TEntityRef(*found->lines[index]);
}

std::unique_ptr<CEntityHolder> COrdersNavigation::NewOrderLine() const
{
    return std::make_unique<TEntityHolder<COrderLine>>();
}

int COrdersNavigation::FindOrderLine(const TEntityRef& order, const TEntityRef& line,
                                     bool byDeliveryPoint) const
{
    const COrder* found = order.Get<COrder>();
    const COrderLine* wanted = line.Get<COrderLine>();
    if (!found || !wanted)
        return -1;
    return found->lines.FindLine(wanted->productCode, wanted->partition,
                                 wanted->customer.location.code, byDeliveryPoint);
}

int COrdersNavigation::AddOrderLineCopy(const TEntityRef& order, const TEntityRef& line)
{
    COrder* found = order.Get<COrder>();
    const COrderLine* source = line.Get<COrderLine>();
    if (!found || !source)
        return -1;
    found->lines.pendingLine = std::make_unique<COrderLine>(*source);
    return found->lines.AddPendingLine();
}

void COrdersNavigation::AccumulateOrderLine(const TEntityRef& order, int index,
                                            const TEntityRef& line)
{
    const TEntityRef held = GetOrderLine(order, index);
    const COrderLine* source = line.Get<COrderLine>();
    if (COrderLine* target = held.Get<COrderLine>(); target && source)
        target->Accumulate(*source);
}

TEntityRef COrdersNavigation::GetLineDeliveryPoint(const TEntityRef& line) const
{
    COrderLine* found = line.Get<COrderLine>();
    return found ? TEntityRef(found->customer) : TEntityRef();
}
