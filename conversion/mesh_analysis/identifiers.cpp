#include <vorna/conversion/mesh_analysis/solid_identifier.h>
#include <vorna/conversion/mesh_analysis/surface_identifier.h>

#include <deque>
#include <memory>
#include <vector>

#include <absl/strings/string_view.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/surface_mesh.h>

namespace
{
    using namespace vorna;
    /// Breadth-first region labelling over the adjacencies of a mesh's
    /// elements, shared by the surface and solid identifiers. The
    /// derived class lists the neighbours of one element.
    template < typename Mesh >
    class Propagator
    {
      public:
        virtual ~Propagator() = default;

        index_t identify( index_t nb_elements )
        {
            for( index_t e = 0; e < nb_elements; e++ )
            {
                if( labels_->value( e ) == INVALID_INDEX )
                {
                    propagate( e, counter_ );
                    counter_++;
                }
            }
            return counter_;
        }

        std::vector< std::vector< index_t > >
        grouped( index_t nb_elements, absl::string_view operation ) const
        {
            std::vector< std::vector< index_t > > groups( counter_ );
            for( index_t e = 0; e < nb_elements; e++ )
            {
                const auto label = labels_->value( e );
                if( label >= counter_ )
                {
                    throw CorvaneException( "[",
                                            operation,
                                            "] Element ",
                                            e,
                                            " has label ",
                                            label,
                                            " but only ",
                                            counter_,
                                            " regions were identified" );
                }
                groups[label].push_back( e );
            }
            return groups;
        }

      protected:
        Propagator( const Mesh& mesh,
                    AttributeManager& manager,
                    absl::string_view attribute_name )
            : mesh_( mesh ),
              labels_(
                  manager
                      .find_or_create_attribute< VariableAttribute, index_t >(
                          attribute_name,
                          INVALID_INDEX,
                          AttributeFlags{ true, false } ) )
        {
        }

        const Mesh& mesh() const
        {
            return mesh_;
        }

        bool is_unlabelled( index_t element ) const
        {
            return labels_->value( element ) == INVALID_INDEX;
        }

        virtual void add_adjacents( index_t element,
                                    std::deque< index_t >& queue ) const = 0;

      private:
        void propagate( index_t seed, index_t region )
        {
            std::deque< index_t > queue{ seed };
            while( !queue.empty() )
            {
                const auto element = queue.front();
                queue.pop_front();
                if( labels_->value( element ) != INVALID_INDEX )
                {
                    continue;
                }
                labels_->set_value( element, region );
                add_adjacents( element, queue );
            }
        }

        const Mesh& mesh_;
        std::shared_ptr< VariableAttribute< index_t > > labels_;
        index_t counter_{ 0 };
    };
} // namespace

namespace vorna
{
    namespace detail
    {
        template < index_t D >
        class SurfaceIdentifier< D >::Impl
            : public Propagator< SurfaceMesh< D > >
        {
          public:
            explicit Impl( const SurfaceMesh< D >& mesh )
                : Propagator< SurfaceMesh< D > >(
                      mesh,
                      mesh.polygon_attribute_manager(),
                      surface_id_attribute_name )
            {
            }

            index_t nb_elements() const
            {
                return this->mesh().nb_polygons();
            }

          private:
            void add_adjacents( index_t polygon,
                                std::deque< index_t >& queue ) const override
            {
                const auto& mesh = this->mesh();
                const auto nb_edges = mesh.nb_polygon_edges( polygon );
                for( local_index_t e = 0; e < nb_edges; e++ )
                {
                    if( const auto adjacent =
                            mesh.polygon_adjacent( PolygonEdge{ polygon, e } ) )
                    {
                        if( this->is_unlabelled( adjacent.value() ) )
                        {
                            queue.push_back( adjacent.value() );
                        }
                    }
                }
            }
        };

        template < index_t D >
        SurfaceIdentifier< D >::SurfaceIdentifier(
            const SurfaceMesh< D >& mesh )
            : impl_( std::make_unique< Impl >( mesh ) )
        {
        }

        template < index_t D >
        SurfaceIdentifier< D >::~SurfaceIdentifier() = default;

        template < index_t D >
        index_t SurfaceIdentifier< D >::identify_polygons()
        {
            return impl_->identify( impl_->nb_elements() );
        }

        template < index_t D >
        std::vector< std::vector< index_t > >
        SurfaceIdentifier< D >::identified_surfaces_polygons() const
        {
            return impl_->grouped(
                impl_->nb_elements(),
                "SurfaceIdentifier::identified_surfaces_polygons" );
        }

        template class SurfaceIdentifier< 2 >;
        template class SurfaceIdentifier< 3 >;

        class SolidIdentifier::Impl : public Propagator< SolidMesh< 3 > >
        {
          public:
            explicit Impl( const SolidMesh< 3 >& solid )
                : Propagator< SolidMesh< 3 > >(
                      solid,
                      solid.polyhedron_attribute_manager(),
                      block_id_attribute_name )
            {
            }

            index_t nb_elements() const
            {
                return this->mesh().nb_polyhedra();
            }

          private:
            void add_adjacents( index_t polyhedron,
                                std::deque< index_t >& queue ) const override
            {
                const auto& solid = this->mesh();
                const auto nb_facets = solid.nb_polyhedron_facets( polyhedron );
                for( local_index_t f = 0; f < nb_facets; f++ )
                {
                    if( const auto adjacent = solid.polyhedron_adjacent(
                            PolyhedronFacet{ polyhedron, f } ) )
                    {
                        if( this->is_unlabelled( adjacent.value() ) )
                        {
                            queue.push_back( adjacent.value() );
                        }
                    }
                }
            }
        };

        SolidIdentifier::SolidIdentifier( const SolidMesh< 3 >& solid )
            : impl_( std::make_unique< Impl >( solid ) )
        {
        }

        SolidIdentifier::~SolidIdentifier() = default;

        index_t SolidIdentifier::identify_polyhedra()
        {
            return impl_->identify( impl_->nb_elements() );
        }

        std::vector< std::vector< index_t > >
        SolidIdentifier::identified_blocks_polyhedra() const
        {
            return impl_->grouped(
                impl_->nb_elements(),
                "SolidIdentifier::identified_blocks_polyhedra" );
        }
    } // namespace detail
} // namespace vorna
