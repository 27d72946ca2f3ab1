#include <vorna/mesh/vertex_set.h>

#include <utility>

#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/vertex_set_builder.h>

namespace vorna
{
    VertexSet::VertexSet() = default;
    VertexSet::~VertexSet() = default;
    // The source's per-vertex arrays leave with the move, so its count must
    // go too: a moved-from mesh reads as empty instead of indexing nothing.
    VertexSet::VertexSet( VertexSet&& other ) noexcept
        : Identifier( std::move( other ) ),
          nb_vertices_( std::exchange( other.nb_vertices_, 0 ) ),
          vertex_attributes_( std::move( other.vertex_attributes_ ) )
    {
    }

    VertexSet& VertexSet::operator=( VertexSet&& other ) noexcept
    {
        Identifier::operator=( std::move( other ) );
        nb_vertices_ = std::exchange( other.nb_vertices_, 0 );
        vertex_attributes_ = std::move( other.vertex_attributes_ );
        return *this;
    }

    void VertexSet::resize_vertices( index_t nb_vertices )
    {
        nb_vertices_ = nb_vertices;
        vertex_attributes_.resize( nb_vertices );
    }

    void VertexSet::copy_vertex_set( const VertexSet& from )
    {
        nb_vertices_ = from.nb_vertices_;
        vertex_attributes_.copy( from.vertex_attributes_ );
        set_name( from.name() );
    }

    VertexSetBuilder::VertexSetBuilder( VertexSet& mesh, MeshBuilderFactoryKey )
        : IdentifierBuilder( mesh ), vertex_set_( mesh )
    {
    }

    std::unique_ptr< VertexSetBuilder >
    VertexSetBuilder::create( VertexSet& mesh )
    {
        return detail::create_mesh_builder< VertexSetBuilder >(
            mesh, "VertexSetBuilder::create" );
    }

    index_t VertexSetBuilder::create_vertex()
    {
        return create_vertices( 1 );
    }

    index_t VertexSetBuilder::create_vertices( index_t nb )
    {
        const auto first = vertex_set_.nb_vertices();
        if( nb >= INVALID_INDEX - first )
        {
            throw CorvaneException( "[VertexSetBuilder::create_vertices] Too "
                                    "many vertices requested: ",
                                    nb );
        }
        vertex_set_.resize_vertices( first + nb );
        return first;
    }
} // namespace vorna
