// The objects of the configuration and catalog model and their collections:
// identity, names and their validation, the object stream and its checksum,
// the model's errors, the dependency hooks and the DDL-text hooks that every
// object and every list of objects inherits.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "base/orverrors.h"
#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "core/orvstrings.h"

namespace orv {

class TORVConfig;
class TORVConfigObjects;
class TORVMemoryStream;
class TORVSelectedConfigObjects;

// The newest stream version this engine reads and the one it writes.
inline constexpr TORVCurrency EngineCatalogVersion = TORVCurrency::FromScaled(20500);
// Names longer than this are refused, except those of temporary objects.
inline constexpr int32_t MaxIdentifierLength = 80;

// The next value of one process-wide counter: 1 first, 1 again after
// 2147483647. Safe to call from any thread.
int32_t GetNextUniqueNumber();

// Ends an error routine after a ValidateError that returned: an override
// that returns breaks its contract, and the caller must not go on.
[[noreturn]] void ValidateErrorReturned();

// Text without its trailing spaces, then without its trailing CR LF pairs.
TORVString TrimCatalogExpression(const TORVString& Text);
// The DESCRIPTION and ATTRIBUTES lines that close a CREATE text, each on a
// line of its own and only when there is text.
TORVString DescriptionLines(const TORVString& Description, const TORVString& Attributes);

// An object never keeps a modified flag of its own: SetModified marks the
// configuration root (catalog objects: their catalog), except for system,
// temporary, temporary-for-session and parentless objects. The dependents
// list is built once (FDependenciesSet) and rebuilt after ResetReferences;
// FProcessingDependencies keeps the dependency walks from re-entering.
class TORVConfigObject : public TORVBaseObject {
 public:
  explicit TORVConfigObject(TORVConfig* OwnerConfig = nullptr);
  ~TORVConfigObject() override;
  TORVConfigObject(const TORVConfigObject&) = delete;
  TORVConfigObject& operator=(const TORVConfigObject&) = delete;

  // Raise ORV_METADATA_ERROR with Msg as the detail, and Line and Column.
  [[noreturn]] virtual void ValidateError(const TORVString& Msg, int32_t Line, int32_t Column);
  // The character set (0 ANSI, 1 Unicode) of the configuration the object
  // belongs to; -1 without one.
  virtual int32_t GetConfigCharacterSet();
  // The stream version of the configuration; 0 without one.
  virtual TORVCurrency GetConfigVersion();
  virtual bool GetModified() const;
  virtual void SetModified(bool Value);
  virtual void SetHidden(bool Value) { FHidden = Value; }
  virtual void SetReadOnly(bool Value) { FReadOnly = Value; }
  virtual void SetSystemObject(bool Value) { FSystemObject = Value; }
  virtual void SetTemporary(bool Value) { FTemporary = Value; }
  virtual void SetTemporaryForSession(bool Value) { FTemporaryForSession = Value; }
  // Raise ORV_IDENTIFIER_ERROR naming Name.
  [[noreturn]] virtual void InvalidNameError(const TORVString& Name);
  virtual TORVString GetName() const { return FName; }
  // Whether the object goes by Name, without copying its name: look-ups by
  // name ask every object of a collection. An object that makes its name
  // from something else answers through GetName.
  virtual bool HasName(std::u16string_view Name) const { return SameString(FName, Name); }
  // False for objects that take their name from something else (key
  // columns, privileges) and for collections: they stream no name or
  // description.
  virtual bool GetNameRequired() const { return true; }
  virtual bool GetNameValidation() const { return true; }
  // The word that names the object in messages ("column", "user").
  virtual TORVString GetTypeName() const;
  // The name and type name of the object that holds this one: through a
  // collection, the collection's holder; empty without a parent.
  virtual TORVString GetParentName() const;
  virtual TORVString GetParentTypeName() const;
  [[noreturn]] virtual void SystemObjectError();
  // Forgets what the object looked up and cached from other objects,
  // dependents included.
  virtual void ResetReferences();
  virtual bool GetHasDependencies() const;
  // Some dependent is, through its dependency parent, also depended on by
  // this object.
  virtual bool GetHasMutualDependencies();
  // The dependents: objects that reference this one. Made on first use.
  virtual TORVSelectedConfigObjects* GetDependencies();
  // Objects that others can reference ask every possible referrer to add
  // itself to their dependents (AddDependenciesToObject), pass a rename or
  // drop on to them, or re-point them to a new ID.
  virtual void SetDependencies() {}
  virtual void RenameDependencies(const TORVString& /*NewName*/) {}
  virtual void ResetDependencies(int32_t /*NewID*/) {}
  virtual void DeleteDependencies() {}
  // The object that stands for this one in dependency lists (a key column's
  // index); the object itself by default.
  virtual TORVConfigObject* GetDependencyParentObject() { return this; }
  // Referrers add themselves (or their owner) to Obj's dependents when they
  // reference Obj, re-point, rename or drop their reference.
  virtual void AddDependenciesToObject(TORVConfigObject* /*Obj*/) {}
  virtual void ResetDependenciesToObject(TORVConfigObject* /*Obj*/, int32_t /*NewID*/) {}
  virtual void RenameDependenciesToObject(TORVConfigObject* /*Obj*/, const TORVString& /*NewName*/) {}
  virtual void DeleteDependenciesToObject(TORVConfigObject* /*Obj*/) {}
  // Raise ORV_DEPENDENCY_ERROR: this object cannot be OperationName ("dropped") because Obj
  // references it.
  [[noreturn]] virtual void DependencyError(TORVConfigObject* Obj, const TORVString& OperationName);
  // Obj is this object or its dependency parent.
  virtual bool IsDependentObject(TORVConfigObject* Obj);
  // Unless hidden: clears the dependency order and adds itself to List.
  virtual void AddObjects(TORVConfigObjects& List);
  // Prepares GetAlterSQL: Action 0 the CREATE text, 1 the ALTER text that
  // turns the object into Target, 2 the DROP text.
  virtual void BuildAlterSQL(int32_t /*Action*/, TORVConfigObject* /*Target*/, char16_t /*StatementTerminator*/) {}
  // An ID from the configuration when the object has none.
  virtual void AssignID();
  virtual int32_t GetMemorySize();
  virtual int32_t GetMemoryCount() { return 1; }
  virtual bool IsValidIdentifier(const TORVString& Name);
  // ORV_IDENTIFIER_ERROR for an empty required name, an invalid identifier, or more than 80
  // characters on an object that is not temporary.
  virtual void ValidateName(const TORVString& Name);
  // Ends an update: forgets cached references.
  virtual void Reset() { ResetReferences(); }
  // Gives the object a new ID and tells its referrers (ResetDependencies);
  // the new ID stays also when that raises.
  virtual void ResetID();
  // Copies position, ID, name, description, hidden and read-only flags,
  // marks the object modified and forgets cached references.
  virtual void Assign(TORVConfigObject* FromObject, bool CopyReferences);
  // Names equal by SameString, descriptions exactly, and, with CompareID,
  // the IDs.
  virtual bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID);
  // The same class and the same name by SameString.
  virtual bool Same(TORVConfigObject* ObjectToCompare);
  // The object record: ID (4 bytes), name and description (only when a name
  // is required), hidden and read-only flags (1 byte each). CRCOnly writes
  // the name and the hidden flag alone.
  virtual void Save(TORVMemoryStream& Stream, bool CRCOnly);
  virtual void Load(TORVMemoryStream& Stream);
  virtual void Validate() { ValidateName(FName); }
  virtual void Compile() {}
  virtual void Decompile() {}
  // ORV_SYSTEM_OBJECT_ERROR for a system object.
  virtual void CheckSystemObject();
  // Builds the dependents once: sorted by ID, each once.
  virtual void UpdateDependencies();
  // ORV_DEPENDENCY_ERROR naming the first dependent, when there is one.
  virtual void CheckDependencies(const TORVString& OperationName);
  virtual void AlterDependencies(const TORVString& NewName);
  virtual void DropDependencies();
  // Some dependent not yet ordered (all, without OrderedOnly) is
  // SourceObject or has it as dependency parent. False when re-entered.
  virtual bool DependencyExists(TORVConfigObject* SourceObject, bool OrderedOnly);
  virtual TORVString GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                  bool /*Restricted*/) {
    return TORVString();
  }
  virtual TORVString GetPostCreateSQL() { return TORVString(); }
  virtual TORVString GetAlterSQL() { return TORVString(); }
  virtual TORVString GetPreDropSQL() { return TORVString(); }
  virtual TORVString GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
    return TORVString();
  }
  // Asserts (ORV_ASSERT, test build) the invariants of every collection the
  // object owns, and of theirs below them; an object that holds lists
  // names each of them. Nothing to check by default.
  virtual void CheckInvariants() const {}

  // A different ID marks the object modified.
  void SetID(int32_t Value);
  // Trailing blanks are dropped; a different text marks the object modified.
  void SetName(const TORVString& Value);
  void SetDescription(const TORVString& Value);
  // Checksum of the definition: the CRC-only record of Save.
  uint32_t GetCRC32();
  // The Int32 at the stream's position; the position is kept.
  int32_t PeekID(TORVMemoryStream& Stream);
  // ORV_METADATA_ERROR for a stream of a newer engine than this one.
  void CheckEngineVersion(TORVCurrency Version);

  TORVConfig* GetConfig() const { return FConfig; }
  int32_t GetID() const { return FID; }
  int32_t GetPosition() const { return FPosition; }
  void SetPosition(int32_t Value) { FPosition = Value; }
  TORVConfigObject* GetParent() const { return FParent; }
  void SetParent(TORVConfigObject* Value) { FParent = Value; }
  const TORVString& GetInternalName() const { return FInternalName; }
  void SetInternalName(const TORVString& Value) { FInternalName = Value; }
  const TORVString& GetDescription() const { return FDescription; }
  bool GetHidden() const { return FHidden; }
  bool GetReadOnly() const { return FReadOnly; }
  bool GetSystemObject() const { return FSystemObject; }
  bool GetTemporary() const { return FTemporary; }
  bool GetTemporaryForSession() const { return FTemporaryForSession; }
  bool GetLoaded() const { return FLoaded; }
  void SetLoaded(bool Value) { FLoaded = Value; }
  bool GetRemoved() const { return FRemoved; }
  void SetRemoved(bool Value) { FRemoved = Value; }
  int32_t GetDependencyOrder() const { return FDependencyOrder; }
  void SetDependencyOrder(int32_t Value) { FDependencyOrder = Value; }

 protected:
  // The error of InParent with the long form's arguments (type, Name,
  // parent type, parent, Trailing) when the parent has both a type name and
  // a name, else of Alone with the short form's (type, Name, Trailing).
  EORVException NamedError(const TORVErrorDef& InParent, const TORVErrorDef& Alone, const TORVString& Name,
                           const std::vector<TORVString>& Trailing, int32_t Line = 0, int32_t Column = 0) const;

  TORVConfig* FConfig;
  int32_t FPosition = -1;
  bool FLoaded = false;
  bool FRemoved = false;
  int32_t FID = 0;
  TORVConfigObject* FParent = nullptr;
  TORVString FName;
  TORVString FInternalName;
  TORVString FDescription;
  bool FHidden = false;
  bool FReadOnly = false;
  bool FSystemObject = false;
  bool FTemporary = false;
  bool FTemporaryForSession = false;
  std::unique_ptr<TORVSelectedConfigObjects> FDependencies;
  bool FProcessingDependencies = false;
  bool FDependenciesSet = false;
  int32_t FDependencyOrder = 0;
};

// CheckInvariants of each list that exists.
void CheckListInvariants(std::initializer_list<const TORVConfigObject*> Lists);

// An ordered collection that is itself an object of the tree. Whether it
// owns its members is fixed when it is made. An owning collection frees its
// members (last first), keeps member i at position i with the collection
// as parent, gives a member added to a system (temporary) collection that
// flag too, and streams its members; a non-owning one (a selection) only
// refers to objects of other collections and never touches their position
// or parent. Capacity grows in steps of 8 and never shrinks.
//
// Invariants (CheckInvariants, asserted in the test build after every load
// and every change of the member list):
// - FCount lies within the capacity, which is a multiple of 8, and the
//   slots from FCount on are nil;
// - owning: every member exists, member i has position i and the
//   collection as parent, and is system (temporary) when the collection
//   is, and no two members share an ID other than 0 (a load finds members
//   by ID; a stream that breaks this is refused, not left to the assert);
// - Add and Insert also keep the new member apart from every other by the
//   collection's own rule (CheckForDuplicate: the name by default), which
//   is asserted there. A load takes the members the stream holds without
//   that rule, so it is not an invariant of a loaded collection.
class TORVConfigObjects : public TORVConfigObject {
 public:
  explicit TORVConfigObjects(bool OwnsObjects, TORVConfig* OwnerConfig = nullptr);
  ~TORVConfigObjects() override;

  // Also every member's flag.
  void SetSystemObject(bool Value) override;
  void SetTemporary(bool Value) override;
  void SetTemporaryForSession(bool Value) override;
  TORVString GetTypeName() const override;
  bool GetNameRequired() const override { return false; }
  // The holder's name when the collection has one.
  TORVString GetParentName() const override;
  void AssignID() override {}
  void ResetID() override;
  void Reset() override;
  // Owning: member i assigns from FromObject's member i; not owning: the
  // references are copied. The collection's own name and flags stay.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  void ResetReferences() override;
  // An owning collection writes the count of its members that are not
  // system objects and then each of them; a non-owning one writes nothing.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  // Keeps every member whose ID the stream still holds (the same instance,
  // its fields reloaded), keeps the system members first, and reports each
  // other member to the configuration (object removed) before freeing it.
  void Load(TORVMemoryStream& Stream) override;
  // Owning: also the member limit (ORV_MAXIMUM_ERROR past it) and every member.
  void Validate() override;
  void Compile() override;
  void Decompile() override;
  bool DependencyExists(TORVConfigObject* SourceObject, bool OrderedOnly) override;
  void AddObjects(TORVConfigObjects& List) override;
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;
  void DeleteDependenciesToObject(TORVConfigObject* Obj) override;
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  // The members' texts in position order, hidden members and empty texts
  // left out, joined by GetCreateSQLSeparator.
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;
  // The collection's invariants, then (owning) every member's.
  void CheckInvariants() const override;

  // A new, empty member of the collection's class; nil when it has none.
  virtual TORVConfigObject* CreateObject() { return nullptr; }
  // ORV_EXISTS_ERROR for the first member that CheckForDuplicate matches.
  virtual void CheckForDuplicateObject(TORVConfigObject* NewObject);
  virtual bool CheckForDuplicate(TORVConfigObject* NewObject, TORVConfigObject* Member) const;
  [[noreturn]] virtual void DuplicateObjectError(TORVConfigObject* Member);
  [[noreturn]] virtual void ObjectIDNotFoundError(int32_t ID);
  [[noreturn]] virtual void ObjectNameNotFoundError(const TORVString& Name);
  [[noreturn]] virtual void TooManyObjectsError();
  virtual int32_t MaximumObjectsAllowed() const { return 2147483647; }
  // Runs after every change of the member list.
  virtual void ObjectsChanged() {}
  // First member in position order; nil, or with RaiseException the
  // not-found error (ORV_NOT_FOUND_ERROR).
  virtual TORVConfigObject* FindByID(int32_t SearchID, bool RaiseException);
  virtual TORVConfigObject* FindByName(const TORVString& SearchName, bool RaiseException);
  virtual TORVConfigObject* FindByInternalName(const TORVString& SearchName, bool RaiseException);
  // Owning: frees every member, last first, and marks the collection
  // modified; not owning: forgets them.
  virtual void Clear();
  // CreateObject with this collection as parent and its system, temporary
  // and temporary-for-session flags.
  virtual TORVConfigObject* GetNewObject();
  // An owning collection checks the limit and duplicates, gives NewObject
  // its parent, flags and ID, validates it and appends it. It takes
  // NewObject over only when it returns: after an error the caller still
  // owns it and the members are as they were. A non-owning collection only
  // appends the reference.
  virtual void Add(TORVConfigObject* NewObject);
  // Add at InsertPos; the later members move up.
  virtual void Insert(int32_t InsertPos, TORVConfigObject* NewObject);
  // ORV_IDENTIFIER_ERROR when NewName breaks the renamed member's own name
  // rules, ORV_EXISTS_ERROR when another member has that name.
  virtual void CheckRename(TORVConfigObject* ObjectToRename, const TORVString& NewName);
  // Takes the entry out without freeing it.
  virtual void Delete(int32_t DeletePos);
  virtual TORVString GetCreateSQLSeparator() const { return u",\r\n"; }

  // The stream limit (ORV_MAXIMUM_ERROR when the collection is full).
  void CheckMaximumObjects();
  // Owning: Delete at the object's position and mark it removed; not
  // owning: delete the last reference to it. Never frees it.
  void Remove(TORVConfigObject* ObjectToRemove);
  // Prefix followed by the smallest number that no member's name has.
  TORVString GetUniqueName(const TORVString& Prefix);
  // A valid identifier from Prefix and a new unique number that no member
  // has as internal name.
  TORVString GetUniqueInternalName(const TORVString& Prefix);
  // Quicksort by CompareFunction (negative, zero, positive); not stable,
  // positions are not renumbered.
  void Sort(const std::function<int32_t(TORVConfigObject*, TORVConfigObject*)>& CompareFunction);

  bool GetOwnsObjects() const { return FOwnsObjects; }
  int32_t GetCount() const { return FCount; }
  int32_t GetCapacity() const { return static_cast<int32_t>(FObjects.size()); }
  // Owning: trims (freeing, last first) or grows with members from
  // GetNewObject and marks the collection modified; not owning: trims or
  // grows with nil entries.
  void SetCount(int32_t Value);
  // Raises std::out_of_range outside 0 .. Count - 1.
  TORVConfigObject* GetObjects(int32_t Index) const;

 protected:
  [[noreturn]] void RaiseNotFound(const TORVString& Name);
  // The first member in position order that Match accepts; nil when none.
  template <typename TMatch>
  TORVConfigObject* FindFirst(TMatch Match) const;
  // Checks, parent, flags, ID and validation of an object an owning
  // collection is about to take; nothing of the collection changes.
  void PrepareObject(TORVConfigObject* NewObject);
  void AfterObjectAdded(TORVConfigObject* NewObject);
  void ResetPositions(int32_t From);
  void SetCapacity(int32_t Count);
  void InsertObject(int32_t Index, TORVConfigObject* Object);
  void DeleteObject(int32_t Index);
  // Frees every member, last first; count 0.
  void FreeObjects();
  void AdjustCount(int32_t Value);
  void QuickSort(int32_t Low, int32_t High,
                 const std::function<int32_t(TORVConfigObject*, TORVConfigObject*)>& CompareFunction);
  // The invariants of the collection itself, not its members'. Members
  // checks every member's place, Unique one member's ID and rule against
  // every other member: one pass each, so that a change of one member
  // checks no more than that.
  void CheckOwnInvariants() const;
  void CheckMembers() const;
  void CheckUnique(TORVConfigObject* Member) const;
  // An ID other than 0 that two members share; 0 when there is none.
  int32_t FindStoredIDTwice() const;
  // The whole load of a stream into an empty collection.
  void LoadIntoEmpty(TORVMemoryStream& Stream, int32_t Count);
  void ReloadByID(TORVMemoryStream& Stream, int32_t Count);

  // Slots 0 .. FCount - 1 hold the members; the rest are nil.
  int32_t FCount = 0;
  std::vector<TORVConfigObject*> FObjects;
  bool FOwnsObjects;
  int32_t FLastLocalID = 0;
};

// A non-owning list of objects that belong to other collections: an
// object's dependents, the objects to script, and once built a list in
// dependency order (every object after the objects it needs).
class TORVSelectedConfigObjects : public TORVConfigObjects {
 public:
  explicit TORVSelectedConfigObjects(TORVConfig* OwnerConfig = nullptr) : TORVConfigObjects(false, OwnerConfig) {}

  // Also forgets that the list was built.
  void Clear() override;
  // As a member of another object's reference lists: Obj's dependents gain
  // this list's holder once for every member with Obj's ID; a new ID of Obj
  // is taken over by the first such member unless that member is Obj
  // itself (it takes the ID from its ResetID). Renames and drops change
  // nothing here.
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) override;
  void RenameDependenciesToObject(TORVConfigObject* /*Obj*/, const TORVString& /*NewName*/) override {}
  void DeleteDependenciesToObject(TORVConfigObject* /*Obj*/) override {}

  // Adds the objects the selection is made of (subclasses).
  virtual void SelectObjects() {}
  // A new copy of Object, owned by the caller, for the classes that can
  // make one; nil otherwise.
  virtual TORVConfigObject* CopyObject(TORVConfigObject* /*Object*/) { return nullptr; }

  TORVConfigObject* GetConfigObject(int32_t Index) const { return GetObjects(Index); }
  // Ascending ID.
  void SortByID();
  // By CompareString of the names.
  void SortByName();
  // Ascending dependency order.
  void SortByDependencyOrder();
  // From the last member down to the second: deletes a member whose
  // predecessor has the same ID.
  void RemoveDuplicates();
  // Gives every member (all at order 0) a unique order: an object after
  // those it references; members of a mutual reference together; the rest
  // of a cycle in list order.
  void SetDependencyOrder();
  // Once until Clear: SelectObjects, then the members in dependency order
  // (ties of a cycle in ID order).
  void Build();
  bool GetBuilt() const { return FBuilt; }

 protected:
  bool FBuilt = false;
};

}  // namespace orv
