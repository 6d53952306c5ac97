#pragma once
// std::visit over a variant with one lambda per alternative.

namespace vistrel {

template <class... F>
struct Overload : F... {
  using F::operator()...;
};
template <class... F>
Overload(F...) -> Overload<F...>;

}  // namespace vistrel
