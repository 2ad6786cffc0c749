// A vector of pointers that never owns what it points to: the model that fills it deletes the
// objects itself (see C3DSMaxModel's destructor).
#pragma once

#include <vector>

template <class P>
class CRefVector : public std::vector<P> {
 public:
  CRefVector() = default;
  CRefVector(const CRefVector&) = delete;
  CRefVector& operator=(const CRefVector&) = delete;

  // Releases the vector's own storage; the pointed-to objects stay alive.
  virtual ~CRefVector() = default;

  // Appends p at the end.
  virtual void Add(P p) { this->push_back(p); }

  // Erases entry index (0 <= index < size()), moving later entries down; the object stays alive.
  virtual void RemoveAt(int index) { this->erase(this->begin() + index); }

  // Removes every entry through RemoveAt, last first (linear, where removing the first entry
  // again and again would be quadratic in the number of groups).
  virtual void RemoveAll() {
    while (!this->empty()) RemoveAt(static_cast<int>(this->size()) - 1);
  }

  // Makes this vector hold the same pointers as other, in order; no object is copied.
  virtual void Copy(const CRefVector& other) {
    if (&other == this) return;
    RemoveAll();
    for (P p : other) Add(p);
  }

  // Index of the first entry equal to p, or -1.
  virtual int Find(P p) const {
    for (size_t i = 0; i < this->size(); i++)
      if ((*this)[i] == p) return static_cast<int>(i);
    return -1;
  }
};
