#pragma once

#include "KLV/Utils.h"
#include "containers/SmartArray.h"
#include "params/FieldRecord.h"
#include "platform/OleDate.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <variant>

// How the variable layer reaches the fields of entities it knows nothing about: an entity is
// passed as a typed reference, and every variable carries an accessor made for one entity type
// that finds its field in such an entity. A reference to an entity of another type finds
// nothing, so a wrong entity is refused instead of being read at a wrong place.

// A value of any variable kind: defaults given at registration and values for sorting and
// exchange.
using TVariableValue =
    std::variant<std::monostate, bool, int32_t, float, double, std::string, trv::OleDate>;

// An entity of any type, by reference.
class TEntityRef
{
  public:
    TEntityRef() = default;
    template <class Entity>
    TEntityRef(Entity& entity) requires(!std::is_same_v<std::remove_cv_t<Entity>, TEntityRef>)
        : m_object(&entity), m_type(&typeid(Entity))
    {
    }

    // The entity when it is of that type, else null.
    template <class Entity> Entity* Get() const
    {
        if (!m_object || *m_type != typeid(Entity))
            return nullptr;
        return static_cast<Entity*>(m_object);
    }

    bool IsNull() const { return m_object == nullptr; }

  private:
    void* m_object = nullptr;
    const std::type_info* m_type = nullptr;
};

// Finds one field of an entity. The storage type is fixed by the variable's kind; the adders
// check it.
class CVarAccessor
{
  public:
    virtual ~CVarAccessor() = default;

    // The field inside the entity, or null when the entity is not of the accessor's type.
    virtual void* Locate(const TEntityRef& entity) const = 0;
    virtual const std::type_info& StorageType() const = 0;

    // Opening hours and time windows seen as a list of windows (kinds 8 and 9).
    virtual int GetWindowCount(const void*) const { return 0; }
    virtual void GetWindow(const void*, int, int32_t& startMinute, int32_t& endMinute) const
    {
        startMinute = endMinute = kUnsetTime;
    }
    virtual void ResetWindows(void*) const {}
    virtual void AddWindow(void*, int32_t /*startMinute*/, int32_t /*endMinute*/) const {}
    virtual std::string WindowsText(const void*, const std::string&, const std::string&) const
    {
        return {};
    }
};

using TVarAccessorPtr = std::shared_ptr<const CVarAccessor>;

// A field reached by a member pointer or by a callable that returns a reference to it.
template <class Entity, class Storage, class Getter> class TMemberAccessor : public CVarAccessor
{
  public:
    explicit TMemberAccessor(Getter getter) : m_getter(std::move(getter)) {}

    void* Locate(const TEntityRef& entity) const override
    {
        Entity* object = entity.Get<Entity>();
        if (!object)
            return nullptr;
        Storage& field = std::invoke(m_getter, *object);
        return static_cast<void*>(&field);
    }

    const std::type_info& StorageType() const override { return typeid(Storage); }

  private:
    Getter m_getter;
};

// The accessor of a data member: VarMember(&COrder::weight).
template <class Entity, class Storage> TVarAccessorPtr VarMember(Storage Entity::*member)
{
    return std::make_shared<TMemberAccessor<Entity, Storage, Storage Entity::*>>(member);
}

// The accessor of a field reached through a callable: VarField<COrder>([](COrder& o) -> auto&
// { return o.customer.location.name; }).
template <class Entity, class Getter> TVarAccessorPtr VarField(Getter getter)
{
    using Storage = std::remove_reference_t<std::invoke_result_t<Getter, Entity&>>;
    return std::make_shared<TMemberAccessor<Entity, Storage, Getter>>(std::move(getter));
}

// Opening hours: a table type with Reset, InsertWindow, GetSize, indexed windows (start, end)
// and ToText(pattern, separator).
template <class Entity, class Table, class Getter>
class TTimeTableAccessor : public TMemberAccessor<Entity, Table, Getter>
{
  public:
    using TMemberAccessor<Entity, Table, Getter>::TMemberAccessor;

    int GetWindowCount(const void* storage) const override { return Of(storage).GetSize(); }
    void GetWindow(const void* storage, int index, int32_t& startMinute,
                   int32_t& endMinute) const override
    {
        startMinute = Of(storage)[index].start;
        endMinute = Of(storage)[index].end;
    }
    void ResetWindows(void* storage) const override { static_cast<Table*>(storage)->Reset(); }
    void AddWindow(void* storage, int32_t startMinute, int32_t endMinute) const override
    {
        static_cast<Table*>(storage)->InsertWindow(startMinute, endMinute);
    }
    std::string WindowsText(const void* storage, const std::string& pattern,
                            const std::string& separator) const override
    {
        return Of(storage).ToText(pattern, separator);
    }

  private:
    static const Table& Of(const void* storage) { return *static_cast<const Table*>(storage); }
};

// One time window: a type with start, end and ToText(pattern, separator).
template <class Entity, class Window, class Getter>
class TTimeWindowAccessor : public TMemberAccessor<Entity, Window, Getter>
{
  public:
    using TMemberAccessor<Entity, Window, Getter>::TMemberAccessor;

    int GetWindowCount(const void*) const override { return 1; }
    void GetWindow(const void* storage, int, int32_t& startMinute,
                   int32_t& endMinute) const override
    {
        startMinute = Of(storage).start;
        endMinute = Of(storage).end;
    }
    void ResetWindows(void* storage) const override
    {
        static_cast<Window*>(storage)->start = kUnsetTime;
        static_cast<Window*>(storage)->end = kUnsetTime;
    }
    void AddWindow(void* storage, int32_t startMinute, int32_t endMinute) const override
    {
        static_cast<Window*>(storage)->start = startMinute;
        static_cast<Window*>(storage)->end = endMinute;
    }
    std::string WindowsText(const void* storage, const std::string& pattern,
                            const std::string& separator) const override
    {
        return Of(storage).ToText(pattern, separator);
    }

  private:
    static const Window& Of(const void* storage) { return *static_cast<const Window*>(storage); }
};

template <class Entity, class Table> TVarAccessorPtr VarTimeTable(Table Entity::*member)
{
    return std::make_shared<TTimeTableAccessor<Entity, Table, Table Entity::*>>(member);
}
template <class Entity, class Getter> TVarAccessorPtr VarTimeTableField(Getter getter)
{
    using Table = std::remove_reference_t<std::invoke_result_t<Getter, Entity&>>;
    return std::make_shared<TTimeTableAccessor<Entity, Table, Getter>>(std::move(getter));
}
template <class Entity, class Window> TVarAccessorPtr VarTimeWindow(Window Entity::*member)
{
    return std::make_shared<TTimeWindowAccessor<Entity, Window, Window Entity::*>>(member);
}
template <class Entity, class Getter> TVarAccessorPtr VarTimeWindowField(Getter getter)
{
    using Window = std::remove_reference_t<std::invoke_result_t<Getter, Entity&>>;
    return std::make_shared<TTimeWindowAccessor<Entity, Window, Getter>>(std::move(getter));
}

// The requirement values of an entity; defined by the demand model.
class TRequirementValues;

// A program-wide list of definitions (requirements, additional information) as the key sets
// use it: list kinds give one column and one field per definition. The demand model's lists
// implement it.
class CVariableDefinitionList
{
  public:
    virtual ~CVariableDefinitionList() = default;

    virtual int GetDefinitionCount() const = 0;
    virtual std::string GetDefinitionName(int index) const = 0;
    // The help text of a definition's column.
    virtual std::string GetDefinitionExplanation(int index) const = 0;
    // Index of the first definition with exactly that name, or -1.
    virtual int FindByName(const std::string& name) const = 0;

    // Additional information: one text per definition, read from and written to the fields
    // named like the definitions.
    virtual void ReadInformativeValues(CSmartStringArray& values, CFieldRecord& record) const = 0;
    virtual void WriteInformativeValues(CFieldRecord& record, const CSmartStringArray& values,
                                        const TFieldMap* names) const = 0;

    // Requirement values (the requirement list only).
    virtual void ParseValues(CFieldRecord& record, bool merge, int direct, const TFieldMap* names,
                             bool sum, TRequirementValues& values) const = 0;
    virtual void WriteValues(CFieldRecord& record, const std::string& prefix,
                             const TRequirementValues& values, const TFieldMap* names) const = 0;
    virtual std::string GetValueText(const TRequirementValues& values, int index) const = 0;
    // The integer held by a slot (kAnyRequirementValue for a set or an undefined slot).
    virtual int GetIntegerValue(const TRequirementValues& values, int index) const = 0;
};
