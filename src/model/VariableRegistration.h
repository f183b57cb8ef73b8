#pragma once

// Shorthands the model's key-set builders share.

#include "model/Locations.h"
#include "params/VariableAccess.h"
#include "params/VariablesKeys.h"

#include <initializer_list>

namespace model_variables {

inline constexpr int kReadWrite = VAR_USE_READ | VAR_USE_WRITE;
inline constexpr int kShown = kReadWrite | VAR_USE_SHOWN;
inline constexpr int kShownSecond = kReadWrite | VAR_USE_SHOWN_SECOND;

inline CSmartStringArray Names(std::initializer_list<const char*> names)
{
    CSmartStringArray array;
    for (const char* name : names)
        array.Add(name);
    return array;
}

// The demand key sets explain a variable under its caption key followed by "Explanation" unless
// the row names an explanation of its own.
inline void ExplainByCaption(CVariablesKeys& keys)
{
    for (int i = 0; i < keys.GetSize(); ++i) {
        TVarKeyStruct& variable = *keys.GetVariable(i);
        if (variable.explanationKey.empty() && !variable.captionKey.empty())
            variable.explanationKey = variable.captionKey + "Explanation";
    }
}

// A member of a location record inside the entity.
template <class Entity, class Storage>
TVarAccessorPtr LocationMember(TLocationData Entity::*location, Storage TLocationData::*member)
{
    return VarField<Entity>(
        [location, member](Entity& entity) -> Storage& { return (entity.*location).*member; });
}

// A member reached through the entity's own type, also when a base class declares it: a
// plain member pointer would bind the base and find nothing in the entity.
template <class Entity, class Storage, class Owner>
TVarAccessorPtr DerivedMember(Storage Owner::*member)
{
    return VarField<Entity>([member](Entity& entity) -> Storage& { return entity.*member; });
}

} // namespace model_variables
