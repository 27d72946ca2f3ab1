#include <vorna/conversion/model/convert_solid_into_brep.h>

#include <conversion/model/region_separation.h>
#include <conversion/model/solid_input.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/logger.h>
#include <vorna/conversion/model/brep_from_solid_adjacencies_builder.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>

namespace vorna
{
    BRep convert_solid_into_brep_from_adjacencies( const SolidMesh< 3 >& solid )
    {
        Logger::log_trace( "Converting Solid into BRep from adjacencies" );
        BRep brep;
        detail::BRepFromSolidAdjacenciesBuilder builder{ brep, solid };
        builder.build_surface_step();
        builder.build_brep_without_block_step();
        builder.build_blocks_step();
        return brep;
    }

    BRep
    convert_solid_into_brep_from_attribute( SolidMesh< 3 >& solid,
                                            absl::string_view attribute_name )
    {
        Logger::log_trace( "Converting Solid into BRep from attribute" );
        const auto attribute =
            solid.polyhedron_attribute_manager().find_generic_attribute(
                attribute_name );
        if( !attribute )
        {
            throw CorvaneException( "[convert_solid_into_brep_from_attribute] "
                                    "Attribute not found" );
        }
        // Before the solid is cut.
        detail::refuse_far_points( solid,
                                   "convert_solid_into_brep_from_attribute" );
        const auto builder = SolidMeshBuilder< 3 >::create( solid );
        detail::unset_polyhedron_adjacencies_by_attribute(
            solid, *builder, *attribute );
        return convert_solid_into_brep_from_adjacencies( solid );
    }
} // namespace vorna
