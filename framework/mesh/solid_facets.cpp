#include <vorna/mesh/solid_facets.h>

#include <absl/container/flat_hash_set.h>
#include <absl/container/inlined_vector.h>
#include <absl/hash/hash.h>

#include <vorna/basic/corvane_exception.h>

namespace vorna
{
    namespace
    {
        using SortedVertices = absl::InlinedVector< index_t, 8 >;

        SortedVertices sorted( absl::Span< const index_t > vertices )
        {
            SortedVertices result( vertices.begin(), vertices.end() );
            // Facets are short: insertion sort beats std::sort here.
            for( std::size_t i = 1; i < result.size(); i++ )
            {
                const auto value = result[i];
                auto j = i;
                for( ; j > 0 && result[j - 1] > value; j-- )
                {
                    result[j] = result[j - 1];
                }
                result[j] = value;
            }
            return result;
        }

        // A lookup key already sorted.
        struct SortedKey
        {
            absl::Span< const index_t > vertices;
        };
    } // namespace

    // The table stores facet indices only; hash and equality read each
    // facet's sorted vertices from the storage, which keeps the table small.
    template < index_t D >
    struct SolidFacets< D >::Impl
    {
        struct Hash
        {
            using is_transparent = void;

            std::size_t operator()( index_t facet ) const
            {
                return ( *this )(
                    SortedKey{ impl->sorted_vertices_of( facet ) } );
            }
            std::size_t operator()( const SortedKey& key ) const
            {
                return absl::Hash< absl::Span< const index_t > >{}(
                    key.vertices );
            }

            const Impl* impl;
        };

        struct Eq
        {
            using is_transparent = void;

            bool operator()( index_t lhs, index_t rhs ) const
            {
                return lhs == rhs;
            }
            bool operator()( index_t facet, const SortedKey& key ) const
            {
                return impl->sorted_vertices_of( facet ) == key.vertices;
            }
            bool operator()( const SortedKey& key, index_t facet ) const
            {
                return ( *this )( facet, key );
            }

            const Impl* impl;
        };

        Impl() : ids( 0, Hash{ this }, Eq{ this } ) {}
        // The table's functors point at this object.
        Impl( const Impl& ) = delete;
        Impl& operator=( const Impl& ) = delete;

        index_t nb_facets() const
        {
            return static_cast< index_t >( offsets.size() - 1 );
        }

        absl::Span< const index_t > vertices_of( index_t facet ) const
        {
            return absl::MakeConstSpan( vertices.data() + offsets[facet],
                                        offsets[facet + 1] - offsets[facet] );
        }

        absl::Span< const index_t > sorted_vertices_of( index_t facet ) const
        {
            return absl::MakeConstSpan( sorted_vertices.data() + offsets[facet],
                                        offsets[facet + 1] - offsets[facet] );
        }

        // Facet f uses [offsets[f], offsets[f+1]) of both vertex arrays.
        std::vector< index_t > offsets{ 0 };
        std::vector< index_t > vertices;
        std::vector< index_t > sorted_vertices;
        absl::flat_hash_set< index_t, Hash, Eq > ids;
    };

    template < index_t D >
    SolidFacets< D >::SolidFacets() : impl_{ std::make_unique< Impl >() }
    {
    }
    template < index_t D >
    SolidFacets< D >::~SolidFacets() = default;
    template < index_t D >
    SolidFacets< D >::SolidFacets( SolidFacets&& ) noexcept = default;
    template < index_t D >
    SolidFacets< D >&
    SolidFacets< D >::operator=( SolidFacets&& ) noexcept = default;

    template < index_t D >
    index_t SolidFacets< D >::nb_facets() const
    {
        // A moved-from object has no storage and reads as empty.
        return impl_ ? impl_->nb_facets() : 0;
    }

    template < index_t D >
    std::vector< index_t >
    SolidFacets< D >::facet_vertices( index_t facet ) const
    {
        if( facet >= nb_facets() )
        {
            throw CorvaneException( "[SolidFacets::facet_vertices] Invalid "
                                    "facet ",
                                    facet,
                                    " (",
                                    nb_facets(),
                                    " facets)" );
        }
        const auto vertices = impl_->vertices_of( facet );
        return { vertices.begin(), vertices.end() };
    }

    template < index_t D >
    absl::optional< index_t > SolidFacets< D >::facet_from_vertices(
        absl::Span< const index_t > vertices ) const
    {
        if( !impl_ )
        {
            return absl::nullopt;
        }
        const auto key = sorted( vertices );
        const auto it = impl_->ids.find( SortedKey{ key } );
        if( it == impl_->ids.end() )
        {
            return absl::nullopt;
        }
        return *it;
    }

    template < index_t D >
    void SolidFacets< D >::copy( const SolidFacets& from )
    {
        auto impl = std::make_unique< Impl >();
        if( !from.impl_ )
        {
            impl_ = std::move( impl );
            facet_attributes_.copy( from.facet_attributes_ );
            return;
        }
        impl->offsets = from.impl_->offsets;
        impl->vertices = from.impl_->vertices;
        impl->sorted_vertices = from.impl_->sorted_vertices;
        impl->ids.reserve( from.impl_->ids.size() );
        for( index_t facet = 0; facet < impl->nb_facets(); facet++ )
        {
            impl->ids.insert( facet );
        }
        impl_ = std::move( impl );
        facet_attributes_.copy( from.facet_attributes_ );
    }

    template < index_t D >
    index_t SolidFacets< D >::find_or_create_facet(
        absl::Span< const index_t > vertices )
    {
        if( !impl_ )
        {
            impl_ = std::make_unique< Impl >();
        }
        const auto key = sorted( vertices );
        const auto it = impl_->ids.find( SortedKey{ key } );
        if( it != impl_->ids.end() )
        {
            return *it;
        }
        const auto facet = impl_->nb_facets();
        impl_->vertices.insert(
            impl_->vertices.end(), vertices.begin(), vertices.end() );
        impl_->sorted_vertices.insert(
            impl_->sorted_vertices.end(), key.begin(), key.end() );
        impl_->offsets.push_back(
            static_cast< index_t >( impl_->vertices.size() ) );
        impl_->ids.insert( facet );
        facet_attributes_.resize( facet + 1 );
        return facet;
    }

    template class SolidFacets< 3 >;
} // namespace vorna
