#pragma once

#include <string>
#include <unordered_map>

class CVariablesKeys;

// Which key set holds a variable, by its name. The key sets enter their variables here as they
// are registered; the map does not own them (the catalogue that derives from it does).
class CVariables
{
  public:
    virtual ~CVariables() = default;

    // A later variable of the same name replaces the entry.
    void SetAt(const std::string& name, CVariablesKeys* keys) { m_keys[name] = keys; }
    // The key set holding the variable, or null.
    CVariablesKeys* Lookup(const std::string& name) const
    {
        const auto found = m_keys.find(name);
        return found == m_keys.end() ? nullptr : found->second;
    }
    int GetCount() const { return static_cast<int>(m_keys.size()); }
    void RemoveAll() { m_keys.clear(); }
    // Sizes the map for about that many names.
    void InitHashTable(int buckets) { m_keys.rehash(static_cast<std::size_t>(buckets)); }

  private:
    std::unordered_map<std::string, CVariablesKeys*> m_keys;
};
