// Between form streams and live objects.
//
// Reading a stream creates the objects (registered classes by name, run-time classes
// otherwise) and sets their properties through the run-time type information. Every
// object read remembers what the stream said (TStreamMemory): the properties in their
// order with their original values, the stream children, the filer flags. Writing an
// object back walks that memory: a property whose live value still encodes as it did
// right after loading is written with its original value (type, spelling and text layout
// included), a changed one with its new value, and a property the model does not know
// exactly as it was read. Properties that were not in the stream are written when
// their value changed since loading (or, for objects made in code, when it is not the
// default). So an unchanged form writes back byte for byte, and a changed one differs
// only where it was changed.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/vcl/classes.h"
#include "platform/vcl/filer.h"

namespace quintrel::vcl {

struct TStreamedProperty {
  std::string Path;  // relative to the object: Caption, Font.Name, Items.Strings
  TStreamValue Original;
  // The live value's encoding once loading finished; unset when the path is unknown
  // to the model (the original is then written as it is).
  std::optional<TStreamValue> AtLoad;
};

struct TStreamMemory {
  std::string ClassName;                   // the class name as the stream spells it
  uint8_t Flags = 0;                       // filer flags of a component
  std::optional<TStreamValue> Position;    // its child position
  std::optional<TStreamValue> Order;       // a collection item's order value
  std::vector<TStreamedProperty> Properties;
  // Encodings, right after loading, of the stored properties the stream did not carry.
  std::vector<std::pair<std::string, TStreamValue>> Baseline;
  std::vector<TComponent*> Children;       // stream children, in stream order
  // The root only: the context the stream was read with, which writing it back uses.
  std::optional<TFilerContext> Context;
};

// The stream of a frame class's own form, by the class name an inline frame gives;
// nullptr when it is not known.
using TFrameFormFinder = std::function<const TFormStream*(std::string_view className)>;

struct TReadOptions {
  TFilerContext Context;
  // The class a root of an unknown class derives from (TForm, TDataModule, TFrame);
  // nullptr guesses it from the stream's content.
  TClass RootAncestor = nullptr;
  // An inline frame's stream holds only what the embedding form changes. With a finder,
  // an inline frame whose own form it knows is built as the application builds it: from
  // its own form first (its components then count as inherited ones), then the inline
  // stream's properties and inherited components applied over it. Without one, or for a
  // frame it does not know, the inline stream alone makes the frame.
  TFrameFormFinder FrameForms;
};

// Frames inside frames are built to this depth; deeper ones (and a frame inside itself)
// are read from the inline stream alone.
inline constexpr int kMaxFrameNesting = 8;

// Creates the root component and everything under it.
std::unique_ptr<TComponent> ReadComponent(const TFormStream& form, const TReadOptions& options = {});
// Reads into an existing root; its class should match the stream's root class.
void ReadComponentInto(TComponent& root, const TFormStream& form, const TReadOptions& options = {});

// The stream of a root component. `like` supplies the notation and layout details (the
// form the root was read from, to write it back the same way). Without a context the
// one the root was read with is used (the ANSI code page for a root made in code).
TFormStream WriteComponent(const TComponent& root, const TFormStream* like = nullptr,
                           const TFilerContext* context = nullptr);

// The bytes of a root component written the way `like` was read: WriteBinaryForm
// (with the resource header when `like` had one) or WriteTextForm.
std::string WriteComponentBytes(const TComponent& root, const TFormStream& like);

// The class a stream's object gets: the registered class of that name, else a run-time
// class (a derived form, data module or frame for a root or an inline frame, a generic
// component otherwise).
TClass ResolveStreamClass(const TStreamObject& object, bool isRoot, TClass rootAncestor = nullptr);

// Reads a file (either notation) into live objects; the form stream is returned through
// `form` so that the objects can be written back the same way.
std::unique_ptr<TComponent> LoadComponentFile(const std::string& fileName, TFormStream* form = nullptr,
                                              const TReadOptions& options = {});

// The encoding of one property path of a live object (nullopt when the path does not
// resolve to a value); `hint` is a value of the same property to take types from.
std::optional<TStreamValue> EncodeProperty(const TPersistent& object, std::string_view path,
                                           const TStreamValue* hint, const TFilerContext& context);
// Sets one property path from a stream value; false when the path is unknown or the
// value does not fit (the object is then unchanged).
bool ApplyProperty(TPersistent& object, std::string_view path, const TStreamValue& value,
                   const TFilerContext& context);

}  // namespace quintrel::vcl
