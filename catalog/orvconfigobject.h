// The objects of the configuration and catalog model and their collections,
// in the shape the lower folders read them: identity, name, place in the
// object tree, stream record, and look-up by ID or name that raises the
// model's not-found error.
#pragma once

#include <cstdint>
#include <vector>

#include "base/orvtype.h"
#include "core/orvcommon.h"

namespace orv {

class TORVMemoryStream;

class TORVConfigObject : public TORVBaseObject {
 public:
  TORVConfigObject() = default;

  // The words that name the object in messages ("column", "index").
  virtual TORVString GetTypeName() const;
  virtual TORVString GetName() const { return FName; }
  // False for objects that take their name from something else (key
  // columns) and for collections: they stream no name or description.
  virtual bool GetNameRequired() const { return true; }
  // The name and type name of the object that holds this one: through a
  // collection, the collection's holder; empty without a parent.
  virtual TORVString GetParentName() const;
  virtual TORVString GetParentTypeName() const;
  // Forgets what the object looked up and cached from other objects.
  virtual void ResetReferences() {}
  // Copies position, ID, name, description, hidden and read-only flags,
  // marks this object modified and forgets cached references.
  virtual void Assign(TORVConfigObject* FromObject, bool CopyReferences);
  // Names equal without regard to case, descriptions exactly, and, with
  // CompareID, the IDs.
  virtual bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID);
  // The object record: ID (4 bytes), name and description (only when a name
  // is required; CRCOnly writes the name alone), hidden and read-only flags
  // (1 byte each; CRCOnly writes hidden alone).
  virtual void Save(TORVMemoryStream& Stream, bool CRCOnly);
  virtual void Load(TORVMemoryStream& Stream);
  virtual void SetModified(bool Value) { FModified = Value; }
  // The character set (0 ANSI, 1 Unicode) of the configuration the object
  // belongs to; -1 without one.
  virtual int32_t GetConfigCharacterSet() { return -1; }
  // Checks the object after loading.
  virtual void Validate() {}
  // Ends an update: forgets cached references.
  virtual void Reset() { ResetReferences(); }
  virtual void SetTemporary(bool Value) { FTemporary = Value; }
  virtual void SetTemporaryForSession(bool Value) { FTemporaryForSession = Value; }

  // Trailing blanks are dropped; a different name marks the object modified.
  void SetName(const TORVString& Value);
  const TORVString& GetDescription() const { return FDescription; }
  void SetDescription(const TORVString& Value);
  int32_t GetID() const { return FID; }
  void SetID(int32_t Value) { FID = Value; }
  int32_t GetPosition() const { return FPosition; }
  void SetPosition(int32_t Value) { FPosition = Value; }
  TORVConfigObject* GetParent() const { return FParent; }
  void SetParent(TORVConfigObject* Value) { FParent = Value; }
  bool GetHidden() const { return FHidden; }
  void SetHidden(bool Value) { FHidden = Value; }
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  bool GetModified() const { return FModified; }
  bool GetLoaded() const { return FLoaded; }
  bool GetTemporary() const { return FTemporary; }
  bool GetTemporaryForSession() const { return FTemporaryForSession; }

 protected:
  int32_t FPosition = -1;
  bool FLoaded = false;
  int32_t FID = 0;
  TORVConfigObject* FParent = nullptr;
  TORVString FName;
  TORVString FDescription;
  bool FHidden = false;
  bool FReadOnly = false;
  bool FModified = false;
  bool FTemporary = false;
  bool FTemporaryForSession = false;
};

// An ordered collection that is itself an object of the tree. Whether it
// owns its members is fixed when it is made. An owning collection frees its
// members and keeps member i at position i with the collection as parent;
// a non-owning one (a selection) only refers to objects of other
// collections and never touches their position or parent.
class TORVConfigObjects : public TORVConfigObject {
 public:
  ~TORVConfigObjects() override;

  TORVString GetTypeName() const override;
  bool GetNameRequired() const override { return false; }
  // Owning: member i assigns from FromObject's member i; not owning: the
  // references are copied. The collection's own name and flags stay.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  void ResetReferences() override;

  // A new, empty member of the collection's class; nil when it has none.
  virtual TORVConfigObject* CreateObject() { return nullptr; }
  [[noreturn]] virtual void ObjectIDNotFoundError(int32_t ID);
  [[noreturn]] virtual void ObjectNameNotFoundError(const TORVString& Name);
  // Runs after every change of the member list.
  virtual void ObjectsChanged() {}
  // First member with that ID (names compared with SameString); nil, or
  // with RaiseException the not-found error (ORV_NOT_FOUND_ERROR).
  virtual TORVConfigObject* FindByID(int32_t SearchID, bool RaiseException);
  virtual TORVConfigObject* FindByName(const TORVString& SearchName, bool RaiseException);
  // CreateObject with this collection as parent.
  virtual TORVConfigObject* GetNewObject();
  // An owning collection takes NewObject over (also when a later step
  // raises, the caller keeps it) and gives it its position and parent.
  virtual void Add(TORVConfigObject* NewObject);
  // Takes the entry out without freeing it.
  virtual void Delete(int32_t DeletePos);
  // Owning: frees every member, last first; not owning: forgets them.
  virtual void Clear();

  bool GetOwnsObjects() const { return FOwnsObjects; }
  int32_t GetCount() const { return static_cast<int32_t>(FObjects.size()); }
  // Owning: trims (freeing) or grows with members from GetNewObject; not
  // owning: trims or grows with nil entries.
  void SetCount(int32_t Value);
  // Raises std::out_of_range outside 0 .. Count - 1.
  TORVConfigObject* GetObjects(int32_t Index) const;

 protected:
  explicit TORVConfigObjects(bool OwnsObjects) : FOwnsObjects(OwnsObjects) {}

  [[noreturn]] void RaiseNotFound(const TORVString& Name);
  void Renumber(int32_t From);

  std::vector<TORVConfigObject*> FObjects;
  bool FOwnsObjects;
};

// A non-owning list of objects that belong to other collections.
class TORVSelectedConfigObjects : public TORVConfigObjects {
 public:
  TORVSelectedConfigObjects() : TORVConfigObjects(false) {}
};

}  // namespace orv
