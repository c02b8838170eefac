// ResourceOwner: one loaded asset of any type, held together with the function that deletes it.
#pragma once

#include <memory>

// Deletes an asset as the type it was made as. Every owner carries its own, so the table needs
// no knowledge of the type to let an asset go.
struct ResourceDeleter {
  void (*destroy)(void* object) = nullptr;
  void operator()(void* object) const { destroy(object); }
};

using ResourceOwner = std::unique_ptr<void, ResourceDeleter>;

// Takes over a typed asset; the owner deletes it as a T. A null object gives an empty owner.
template <class T>
ResourceOwner MakeResourceOwner(std::unique_ptr<T> object) {
  return ResourceOwner(object.release(), ResourceDeleter{[](void* p) { delete static_cast<T*>(p); }});
}
