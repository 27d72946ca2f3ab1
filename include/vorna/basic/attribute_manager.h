#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <vorna/basic/attribute_base.h>
#include <vorna/basic/common.h>

namespace vorna
{
    template < typename T >
    class ReadOnlyAttribute;

    /// The attributes of one element set (vertices, edges, polygons or
    /// polyhedra), registered by name and resized with the elements.
    /// Meshes hold it as a mutable member, so it is writable through a
    /// const mesh.
    class AttributeManager
    {
      public:
        AttributeManager() = default;
        AttributeManager( AttributeManager&& ) noexcept = default;
        AttributeManager& operator=( AttributeManager&& ) noexcept = default;
        AttributeManager( const AttributeManager& ) = delete;
        AttributeManager& operator=( const AttributeManager& ) = delete;

        index_t nb_elements() const
        {
            return nb_elements_;
        }

        /// Resizes every attribute; new elements read the default value.
        void resize( index_t nb_elements );

        void reserve( index_t capacity );

        /// The attribute registered under the name, or null.
        std::shared_ptr< AttributeBase >
        find_attribute_base( absl::string_view name ) const;

        /// Registers under the name, replacing any attribute of that name,
        /// and resizes the attribute to the current number of elements.
        /// \throw CorvaneException on a null attribute.
        void register_attribute( std::shared_ptr< AttributeBase > attribute,
                                 absl::string_view name );

        /// Drops the manager's reference; an absent name is ignored.
        void delete_attribute( absl::string_view name );

        /// The attribute if registered and readable as floats, else null.
        std::shared_ptr< AttributeBase >
        find_generic_attribute( absl::string_view name ) const;

        bool attribute_exists( absl::string_view name ) const;

        /// Names in ascending order.
        std::vector< std::string > attribute_names() const;

        /// Brings every attribute of `from` over (in name order) through
        /// old2new, replacing same-name attributes of this manager.
        /// INVALID_INDEX entries are skipped; `from` is only read.
        void import( const AttributeManager& from,
                     absl::Span< const index_t > old2new );

        /// Clones every attribute of `from` and its element count.
        void copy( const AttributeManager& from );

        /// Copies the value of element `from` to element `to` in every
        /// attribute.
        void copy_attribute_value( index_t from, index_t to );

        /// Removes the flagged elements (one flag per element).
        /// \throw CorvaneException when the flag count differs.
        void delete_elements( const std::vector< bool >& to_delete );

        /// \throw CorvaneException when the size differs.
        void permute_elements( absl::Span< const index_t > permutation );

        void clear();

        // The two typed look-ups below are defined with the attribute
        // classes, in <vorna/conversion/common/attribute.h>: include that
        // header to call them.

        /// Typed read access to an existing attribute.
        /// \throw CorvaneException when absent or of another value type.
        template < typename T >
        std::shared_ptr< ReadOnlyAttribute< T > >
        find_attribute( absl::string_view name ) const;

        /// The attribute of that name, storage and value type, created and
        /// registered when the name is free.
        /// \throw CorvaneException when the name is taken by another storage
        /// or value type.
        template < template < typename > class Kind, typename T >
        std::shared_ptr< Kind< T > >
        find_or_create_attribute( absl::string_view name,
                                  T default_value,
                                  AttributeFlags flags = {} );

      private:
        std::map< std::string, std::shared_ptr< AttributeBase >, std::less<> >
            attributes_;
        index_t nb_elements_{ 0 };
    };
} // namespace vorna
